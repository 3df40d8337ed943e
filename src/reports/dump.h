// VS dump.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "lib/cipher_sets.h"
#include "query/classify.h"
#include "reports/report_context.h"

namespace lbsnap {

// Where real-server follow chains end, kept over one dump command: chains
// may be long and shared by many real servers, so each id is walked once.
class FollowEnds {
public:
    // The VS of the last real server reached from real-server id `id`, or
    // null when there is none with that id.
    const bahd_config_t* end_of(const Model& m, int id);

private:
    std::unordered_map<int, const bahd_config_t*> end_;
};

// What one dump command reads once and every VS of it reuses: the settings
// store and the marker directories do not change during a run. Cipher sets
// not recorded go to `log`.
class DumpRun {
public:
    DumpRun(FollowEnds& ends, const LogSink& log) : ends(ends), cipher_sets(log) {}

    FollowEnds& ends;
    CipherSetRecorder cipher_sets;
    // The setting L7_TRANSPARENT is "no" (read on first use).
    int l7_transparent_off();
    // False when VS `id` surely has no add-on controller marker.
    bool may_have_controller(int id);

private:
    std::optional<int> l7_off_;
    bool listed_ = false;
    std::optional<std::unordered_set<std::string>> ctrl_dirs_;
};

// The dump of one VS; every VS of one command shares `run`, and with it one
// wait at most for the cipher-set lock.
void print_vs(Ctx& c, const bahd_config_t& cur, DumpRun& run);

// What the dump derives from a VS besides its character, shared by the text
// and JSON forms of the dump.
struct DumpFacts {
    DumpFacts(const Model& m, const bahd_config_t& cur);

    const bahd_config_t& cur;
    const bahd_config_t* ms;  // the master of a sub-VS, or null
    int typ;                  // vip_character
    int subvs_idx;            // the master's entry for this sub-VS; ms->n_rs() when none

    // The character as the dump reports it.
    int is_http() const { return (typ & kCharHttp) ? 1 : 0; }
    int is_7layer() const { return (typ & kCharProxy) ? 7 : 4; }
    int layer() const { return (typ & kCharLayer7) ? 7 : 4; }
    int has_v6() const { return (typ & kCharIpv6) ? 1 : 0; }

    // PORT: a sub-VS of a master on the wildcard port shows that port.
    int port() const { return (ms && ms->port == kWildcardPort) ? ms->port : cur.port; }
    // The VS whose address the outside sees: the master, or the VS itself.
    const bahd_config_t& top() const { return ms ? *ms : cur; }
    // The master's entry that stands for this sub-VS, or null.
    const rs_info_t* subvs_entry() const {
        return (cur.isslave && ms && subvs_idx < ms->n_rs()) ? &ms->rsinfo[subvs_idx] : nullptr;
    }
    int slave_encrypt() const { return (ms && !ms->sslaccel.empty() && ms->reencrypt) ? 1 : 0; }
    int has_rs_follow() const {
        return (cur.extendedhealth && cur.ismaster == 0 && (typ & kCharLayer7)) ? 1 : 0;
    }
    // The LABEL text.
    std::string label() const;
};

// The cipher set the dump shows: CIPHERSET:, else for an SSL VS "Default",
// or "Custom_<id>" when it lists ciphers; nullopt for none.
std::optional<std::string> shown_cipherset(const bahd_config_t& cur);
// The dump's one write: the custom cipher set of an SSL VS goes into the
// settings store.
void record_custom_cipherset(CipherSetRecorder& sets, const bahd_config_t& cur);
// 1 if real-server entry e makes its VS need a health check (NEEDHEALTH).
int entry_needs_health(const Model& m, const bahd_config_t& cur, const rs_info_t& e,
                       FollowEnds& ends);
// The rules of the VS's list r that the entry's own list holds, in r's order.
std::vector<const Rule_t*> entry_rules(const bahd_config_t& cur, const rs_info_t& e);
// The add-on controller text of VS id without one leading "+"; nullopt when
// no add-on controls the VS.
std::optional<std::string> controller_text(int id);

}  // namespace lbsnap
