// The JSON form of the data reports (--json): one function per report
// item, written through the streaming writer.
#pragma once

#include "reports/json_writer.h"
#include "reports/report_context.h"
#include "store/model.h"

namespace lbsnap {

class DumpRun;
class RsNameTable;
class rs_disp_tab;

// One VS object of the dump; a custom cipher set is recorded through the run.
void json_vs(JsonWriter& w, Ctx& c, const bahd_config_t& cur, DumpRun& run);
// One rule object (-r), unless the -t filter leaves the rule out.
void json_rule(JsonWriter& w, const Options& opt, const Rule_t& rule);
void json_list_vs(JsonWriter& w, const bahd_config_t& cur, int wantsslonly);
void json_checks(JsonWriter& w, const Model& m);
void json_realservers(JsonWriter& w, RsNameTable& names);
void json_realserverlist(JsonWriter& w, rs_disp_tab& tab, const char* sortorder);
void json_rule_in_vs(Ctx& c, JsonWriter& w);
void json_rule_in_vs_all(Ctx& c, JsonWriter& w);
void json_callhomedata(Ctx& c, JsonWriter& w);

}  // namespace lbsnap
