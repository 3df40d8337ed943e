// Reading the daemon configuration file into the model.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lib/ascii.h"
#include "lib/heap_prep.h"
#include "lib/line_read.h"
#include "store/model.h"

namespace lbsnap {

class Diagnostics;
class ReadContext;

// One read of the configuration file takes at most this many characters; a
// longer line arrives as several lines.
inline constexpr std::size_t max_read = kLineReadMax;

// A real-server line is read as at most this many blank-separated tokens.
inline constexpr int max_rs_tokens = 100;

enum class LoadStatus {
    ok,
    cannot_open,          // "Cannot open config file", status 3
    invalid_rs_address,   // "Invalid IP spec", status 27
    cannot_read,          // a check's file opens but cannot be read (a directory), status 3
};

// How a load ended: its status and the message that goes to standard error
// as it stands (empty when the load went well).
struct LoadResult {
    LoadStatus status = LoadStatus::ok;
    std::string message;
};

// Files of this many bytes or more are read in two parts at once: those
// for which the heap is prepared, without which the second part's thread
// would grow its heap a page at a time.
inline constexpr std::size_t kTwoPartsFrom = kPreparedLoadFrom;

// Reads the file at `path` and loads it. With a findings sink (a
// configuration check) the reader notes there what it ignores, cuts or
// drops, and an invalid real-server address is one of those findings
// rather than the end of the load. A regular file of `two_parts_from`
// bytes or more is read in two parts at once (never for a check); the
// model is the same.
LoadResult load_data(Model& m, const std::string& path, Diagnostics* findings = nullptr,
                     std::size_t two_parts_from = kTwoPartsFrom);
// Loads configuration text already in memory as load_data loads a file:
// resets the model, reads the sections and orders the VS list.
LoadResult load_text(Model& m, std::string_view text, Diagnostics* findings = nullptr,
                     std::size_t two_parts_from = kTwoPartsFrom);

// The value after key `val` at the start of `line` (case ignored, blanks and
// tabs after the key skipped), or null. Inline because every line of the
// file meets a marker test or two, most failing at the first byte.
inline const char* find_key(const char* val, const char* line) {
    const char* v = line;
    for (; *val; ++val, ++v)
        if (ascii_upper(*val) != ascii_upper(*v)) return nullptr;
    while (*v == ' ' || *v == '\t') ++v;
    return v;
}

void clean_up(Model& m);
// Adds the rules of rl to a list being gathered, the default rule last.
void merge_rules(const Model& m, std::vector<const Rule_t*>& into, const Rule_list& rl);
int consistent_rule(const Model& m, const Rule_t& cur_rule);
// Why a completed rule may not join the rule list (the first test that
// fails), or none.
enum class RuleFault { none, no_number, number_taken, no_name, no_pattern, no_header,
                       no_replacement, bad_type };
RuleFault rule_fault(const Model& m, const Rule_t& r);

// The reader's side of the real-server part of the VS under construction.
struct RsPending {
    // The first free entry, which lines without "-r" fill ahead of the line
    // that adds it, and its address as converted (family 0 when none).
    rs_info_t entry;
    lm_addr addr;
    // The converted addresses of the VS's used entries, in step with
    // rsinfo: the entries sort by them, each converted once.
    std::vector<lm_addr> addrs;
};
// The VS-section line handler; false when an invalid real-server address
// ends the load (ctx's result says so). The line is the reader's until the
// next line is read: it is cut into tokens in place, and the values kept
// are copies.
bool add_vs_line(ReadContext& ctx, char* line, bahd_config_t& vs, int& state, RsPending& pending);
bool add_ipvs_info(ReadContext& ctx, char* line, bahd_config_t& vs, RsPending& pending);
void add_localbinds(bahd_config_t& vs, char* text);
// False when the list is invalid (the VS then keeps the ports read before
// the fault, none for a bad token).
bool add_extraports(bahd_config_t& vs, const char* text);

// Strict-weak orders of the VS list and of a VS's real servers.
void sort_vs_list(Model& m);
void sort_rs(bahd_config_t& vs, const std::vector<lm_addr>& addrs);

}  // namespace lbsnap
