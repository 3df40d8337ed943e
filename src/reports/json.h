// The JSON form of the data reports (--json): one function per report
// item, written through the streaming writer.
#pragma once

#include <string>

#include "reports/json_writer.h"
#include "reports/report_context.h"
#include "store/model.h"

namespace lbsnap {

class CipherSetRecorder;
class DumpEntries;
class DumpRun;
class RsNameTable;
class rs_disp_tab;
struct DumpEntry;
struct RsLine;
struct VsSetting;

// One VS object of the dump; records its custom cipher set if the run does.
void json_vs(JsonWriter& w, const Model& m, const bahd_config_t& cur, DumpRun& run);
// The array of every VS object in list order (on two threads when they are
// many), recording custom cipher sets.
void json_every_vs(Ctx& c, CipherSetRecorder& cipher_sets);
// The member a dump row gives: the key of its line in lower case.
const std::string& dump_member_name(const VsSetting& row);
// The value of one entry of VS d.vs, as its member holds it.
void json_dump_value(JsonWriter& w, const DumpEntries& d, const DumpEntry& e);
// One real server of VS vs, an element of its "rs" list.
void json_real_server(JsonWriter& w, const bahd_config_t& vs, const RsLine& line);
// One rule object (-r), unless the -t filter leaves the rule out.
void json_rule(JsonWriter& w, const Options& opt, const Rule_t& rule);
void json_list_vs(JsonWriter& w, const bahd_config_t& cur, bool wantsslonly);
void json_checks(JsonWriter& w, const Model& m);
void json_realservers(JsonWriter& w, RsNameTable& names);
void json_realserverlist(JsonWriter& w, rs_disp_tab& tab, const char* sortorder);
void json_rule_in_vs(Ctx& c, JsonWriter& w);
void json_rule_in_vs_all(Ctx& c, JsonWriter& w);
void json_callhomedata(Ctx& c, JsonWriter& w);

}  // namespace lbsnap
