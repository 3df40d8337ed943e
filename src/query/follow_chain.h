// Follow chains. A real server follows at most one other (so does a VS),
// so the chain from one either stops, at one that follows nobody or names
// nothing, or comes back to one it has passed. The one walk here says of a
// chain where it ends, whether it comes back to where it started, and
// whether it meets one chosen member. The dump, the follow selectors and the
// configuration check all ask it, each with its own rule for what a member
// follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "store/model.h"

namespace lbsnap {

// The walk over members numbered 0 to n-1. Each member is walked once per
// object and what its chain does is remembered, so classifying every member
// costs time linear in their number.
class FollowChains {
public:
    static constexpr std::size_t kNone = SIZE_MAX;
    // The member that member i follows, or kNone.
    using Next = std::function<std::size_t(std::size_t)>;

    struct Chain {
        // The last member before the chain stops or comes to a member it
        // has passed: on a loop, the member before the start.
        std::size_t end;
        bool on_loop;  // the chain comes back to its start
        bool meets;    // the chosen member is on the chain, its start included
    };

    FollowChains(std::size_t members, Next next, std::size_t chosen = kNone);

    Chain classify(std::size_t start);
    // Walks every chain now; after that nothing changes, and classify only
    // reads (threads may share the object).
    void settle_all();
    // The members of the loop through `start`, from it on in follow order;
    // empty when it is on no loop.
    std::vector<std::size_t> loop_from(std::size_t start);
    // Every loop once, each from its lowest-numbered member.
    std::vector<std::vector<std::size_t>> loops();

private:
    void walk(std::size_t start);
    void settle(std::size_t member, std::size_t end, std::uint8_t facts);

    std::size_t members_;
    Next next_;
    std::size_t chosen_;
    // What is known of each member (a byte each, and its chain's end),
    // allocated on the first walk: most runs ask about few chains or none.
    std::vector<std::uint8_t> known_;
    std::vector<std::uint32_t> end_;
    std::vector<std::size_t> path_;
};

// What a follow of 0 means past the start of a chain.
enum class ZeroFollow {
    ends,       // the real server follows nobody (the dump, the check)
    looked_up,  // a number like any: the chain goes on at the first real
                // server written without one (the real-server selector)
};

// Which real servers the chains are walked over: every one, so that a chain
// may start at any (from); or only those a follow names, enough for chains
// that start where a follow points (from_id) and end at a follow of 0, and
// cheaper by far than an index of every real server.
enum class ChainMembers { every, named };

// Real-server follow chains. A follow names a real-server id, and the chain
// goes on at the first real server with that id in list order
// (find_rs_follow): the others of an id are never followed to.
class RsFollowChains {
public:
    struct Chain {
        const rs_info_t* end;          // as FollowChains::Chain
        const bahd_config_t* end_vs;   // the VS that holds it
        bool on_loop;
        bool meets;
    };

    RsFollowChains(const Model& m, ZeroFollow zero, const rs_info_t* chosen = nullptr,
                   ChainMembers members = ChainMembers::every);

    // The chain from the real server a follow of `id` names; nullopt when
    // no real server has that id.
    std::optional<Chain> from_id(int id);
    // Walks every chain now; from_id then only reads, and threads may share
    // the object.
    void settle_all();
    // The chain from `rs`; nullopt when rs is not the first of its id.
    std::optional<Chain> from(const rs_info_t& rs);
    // Every loop once, each from its member written first.
    std::vector<std::vector<const rs_info_t*>> loops();

private:
    std::size_t place_of_id(int id) const;
    std::size_t place_of(const rs_info_t& rs) const;
    std::size_t next(std::size_t place, ZeroFollow zero) const;
    Chain chain_at(std::size_t place);

    const Model& m_;
    // Members are places in an index of real servers by id, in walk order:
    // the model's, or `named_` of those a follow names.
    std::vector<VsIndexes::RsEntry> named_;
    std::span<const VsIndexes::RsEntry> entries_;
    FollowChains chains_;
};

}  // namespace lbsnap
