// The VS dump as entries: each setting row's value for one VS, in the
// dump's order, worked out once and written by the text writer (dump.cpp)
// or the JSON writer (json_dump.cpp). So the two forms cannot differ in
// which lines they show, in their order or in their values.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "lib/addon_markers.h"
#include "lib/cipher_sets.h"
#include "query/classify.h"
#include "query/follow_chain.h"
#include "reports/report_context.h"
#include "store/vs_setting.h"

namespace lbsnap {

enum class EntryKind : std::uint8_t { number, text, ints, addresses, rules, real_server };

// A real-server line: the entry at `index` of the VS's list; of a master,
// the sub-VS it names (null when there is none).
struct RsLine {
    int index;
    const rs_info_t* rs;
    const bahd_config_t* subvs;
};

struct DumpEntry {
    const VsSetting* row;
    EntryKind kind;
    int number = 0;
    std::string_view text = {};
    const std::vector<int>* ints = nullptr;
    const std::vector<lm_addr>* addresses = nullptr;
    const Rule_list* rules = nullptr;
    std::vector<RsLine>* rs_lines = nullptr;
};

// The entries of one VS. The texts and lists it works out live here, so an
// object is reused VS after VS.
class DumpRun;

class DumpEntries {
public:
    const bahd_config_t* vs = nullptr;
    std::vector<DumpEntry> entries;

    // Fills the entries of VS cur (and records its custom cipher set, if
    // the run records).
    void build(const Model& m, const bahd_config_t& cur, DumpRun& run);

private:
    std::array<std::string, static_cast<std::size_t>(Derived::controller) + 1> texts_;
    std::vector<RsLine> rs_lines_;
};

// What one dump command reads once and every VS of it reuses: the settings
// store and the marker directories do not change during a run. The one
// write of the dump, recording custom cipher sets, goes through `cipher_sets`;
// without one nothing is recorded.
class DumpRun {
public:
    explicit DumpRun(CipherSetRecorder* cipher_sets) : cipher_sets_(cipher_sets) {}

    // The real servers' follow chains: walked once for the whole run, as
    // chains may be long and shared by many real servers.
    RsFollowChains& follows(const Model& m);
    // A run for another thread, recording no cipher set: it shares this
    // run's follow chains, walked whole now so that no thread changes them.
    DumpRun for_other_thread(const Model& m);
    // The entries of the VS at hand, reused VS after VS.
    DumpEntries entries;
    CipherSetRecorder* cipher_sets() const { return cipher_sets_; }
    // The setting L7_TRANSPARENT is "no" (read on first use).
    int l7_transparent_off();
    // False when VS `id` surely has no add-on controller marker.
    bool may_have_controller(int id);

private:
    CipherSetRecorder* cipher_sets_;
    std::shared_ptr<RsFollowChains> follows_;
    std::optional<int> l7_off_;
    bool listed_ = false;
    std::optional<std::unordered_set<std::string>> ctrl_dirs_;
};

// Records the custom cipher set of VS cur, if it has one (sets: null, none
// is recorded). Made on every run, before the VS's lines are written; a
// failure to record the set does not change what is printed.
void record_custom_cipherset(CipherSetRecorder* sets, const bahd_config_t& cur);

// The rules of the VS's list r that the entry's own list holds, in r's order.
std::vector<const Rule_t*> entry_rules(const bahd_config_t& cur, const rs_info_t& e);

}  // namespace lbsnap
