// The follow walk.
#include "query/follow_chain.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "store/indexes.h"

namespace lbsnap {

namespace {

enum Known : std::uint8_t { kUnknown = 0, kOnWalk = 1, kSettled = 2, kOnLoop = 4, kMeets = 8 };

}  // namespace

FollowChains::FollowChains(std::size_t members, Next next, std::size_t chosen)
    : members_(members), next_(std::move(next)), chosen_(chosen) {}

FollowChains::Chain FollowChains::classify(std::size_t start) {
    if (known_.empty() || !(known_[start] & kSettled)) walk(start);
    return Chain{end_[start], (known_[start] & kOnLoop) != 0, (known_[start] & kMeets) != 0};
}

void FollowChains::settle_all() {
    for (std::size_t i = 0; i < members_; ++i) classify(i);
}

void FollowChains::settle(std::size_t member, std::size_t end, std::uint8_t facts) {
    known_[member] = kSettled | facts;
    end_[member] = static_cast<std::uint32_t>(end);
}

// Walks from `start` until the chain stops, comes to a member an earlier
// walk settled, or comes to a member of this walk; then settles every
// member it passed.
void FollowChains::walk(std::size_t start) {
    if (known_.empty()) {
        known_.assign(members_, kUnknown);
        end_.resize(members_);
    }
    path_.clear();
    std::size_t p = start;
    for (; p != kNone && known_[p] == kUnknown; p = next_(p)) {
        known_[p] = kOnWalk;
        path_.push_back(p);
    }
    std::size_t before_loop = path_.size();
    std::size_t end = path_.back();
    bool meets = false;
    if (p != kNone && known_[p] == kOnWalk) {
        // From p on, the walk went round a loop: the chain of each of its
        // members runs round it once and ends at the member before it.
        before_loop = static_cast<std::size_t>(std::find(path_.begin(), path_.end(), p) - path_.begin());
        meets = std::find(path_.begin() + before_loop, path_.end(), chosen_) != path_.end();
        for (std::size_t i = before_loop; i < path_.size(); ++i)
            settle(path_[i], i > before_loop ? path_[i - 1] : path_.back(),
                   kOnLoop | (meets ? kMeets : 0));
    } else if (p != kNone) {
        end = end_[p];
        meets = (known_[p] & kMeets) != 0;
    }
    // The members before it share the end of the chain they run into.
    for (std::size_t i = before_loop; i-- > 0;) {
        meets = meets || path_[i] == chosen_;
        settle(path_[i], end, meets ? kMeets : 0);
    }
}

std::vector<std::size_t> FollowChains::loop_from(std::size_t start) {
    if (!classify(start).on_loop) return {};
    std::vector<std::size_t> loop{start};
    for (std::size_t p = next_(start); p != start; p = next_(p)) loop.push_back(p);
    return loop;
}

std::vector<std::vector<std::size_t>> FollowChains::loops() {
    std::vector<std::vector<std::size_t>> all;
    std::vector<bool> taken(members_);
    for (std::size_t i = 0; i < members_; ++i) {
        if (taken[i]) continue;
        std::vector<std::size_t> loop = loop_from(i);
        for (std::size_t member : loop) taken[member] = true;
        if (!loop.empty()) all.push_back(std::move(loop));
    }
    return all;
}

namespace {

// The first real server of each id a follow names, in walk order: the VS
// list's order, then each VS's own. Masters' entries are sub-VSs: they
// neither follow nor are followed. A follow of 0 names none: it ends the
// chain.
std::vector<VsIndexes::RsEntry> named_entries(const Model& m, ZeroFollow zero) {
    if (zero != ZeroFollow::ends) throw std::logic_error("chains over named servers end at a follow of 0");
    // The named ids sorted, each once: a server's place among them is its
    // entry's place, so the entries come out in id order without a sort.
    std::vector<int> named;
    for (const auto& vs : m.bahd)
        if (!vs->ismaster)
            for (const rs_info_t& rs : vs->rsinfo)
                if (rs.rsfollow != 0) named.push_back(rs.rsfollow);
    std::sort(named.begin(), named.end());
    named.erase(std::unique(named.begin(), named.end()), named.end());
    std::vector<VsIndexes::RsEntry> entries(named.size(), VsIndexes::RsEntry{0, 0, nullptr});
    std::size_t left = named.size();
    for (std::uint32_t i = 0; i < m.bahd.size() && left != 0; ++i) {
        if (m.bahd[i]->ismaster) continue;
        for (const rs_info_t& rs : m.bahd[i]->rsinfo) {
            const auto at = std::lower_bound(named.begin(), named.end(), rs.id);
            if (at == named.end() || *at != rs.id) continue;
            VsIndexes::RsEntry& e = entries[static_cast<std::size_t>(at - named.begin())];
            if (e.rs) continue;
            e = {rs.id, i, &rs};
            --left;
        }
    }
    std::erase_if(entries, [](const VsIndexes::RsEntry& e) { return e.rs == nullptr; });
    return entries;
}

}  // namespace

RsFollowChains::RsFollowChains(const Model& m, ZeroFollow zero, const rs_info_t* chosen, ChainMembers members)
    : m_(m),
      named_(members == ChainMembers::named ? named_entries(m, zero) : std::vector<VsIndexes::RsEntry>{}),
      entries_(members == ChainMembers::named ? std::span<const VsIndexes::RsEntry>(named_)
                                              : std::span<const VsIndexes::RsEntry>(indexes(m).rs_by_id)),
      chains_(entries_.size(), [this, zero](std::size_t place) { return next(place, zero); },
              chosen ? place_of(*chosen) : FollowChains::kNone) {}

std::size_t RsFollowChains::place_of_id(int id) const {
    const VsIndexes::RsEntry* e = first_rs_entry(entries_, id);
    return e ? static_cast<std::size_t>(e - entries_.data()) : FollowChains::kNone;
}

std::size_t RsFollowChains::place_of(const rs_info_t& rs) const {
    const std::size_t place = place_of_id(rs.id);
    return place != FollowChains::kNone && entries_[place].rs == &rs ? place : FollowChains::kNone;
}

std::size_t RsFollowChains::next(std::size_t place, ZeroFollow zero) const {
    const int follow = entries_[place].rs->rsfollow;
    if (follow == 0 && zero == ZeroFollow::ends) return FollowChains::kNone;
    return place_of_id(follow);
}

RsFollowChains::Chain RsFollowChains::chain_at(std::size_t place) {
    const FollowChains::Chain c = chains_.classify(place);
    const VsIndexes::RsEntry& end = entries_[c.end];
    return Chain{end.rs, m_.bahd[end.vs_index].get(), c.on_loop, c.meets};
}

std::optional<RsFollowChains::Chain> RsFollowChains::from_id(int id) {
    const std::size_t place = place_of_id(id);
    if (place == FollowChains::kNone) return std::nullopt;
    return chain_at(place);
}

void RsFollowChains::settle_all() { chains_.settle_all(); }

std::optional<RsFollowChains::Chain> RsFollowChains::from(const rs_info_t& rs) {
    const std::size_t place = place_of(rs);
    if (place == FollowChains::kNone) return std::nullopt;
    return chain_at(place);
}

std::vector<std::vector<const rs_info_t*>> RsFollowChains::loops() {
    std::vector<std::vector<const rs_info_t*>> all;
    auto by_line = [](const rs_info_t* a, const rs_info_t* b) { return a->line < b->line; };
    for (const std::vector<std::size_t>& members : chains_.loops()) {
        std::vector<const rs_info_t*> loop;
        for (std::size_t p : members) loop.push_back(entries_[p].rs);
        std::rotate(loop.begin(), std::min_element(loop.begin(), loop.end(), by_line), loop.end());
        all.push_back(std::move(loop));
    }
    return all;
}

}  // namespace lbsnap
