// A model built by hand for the report tests, with the option globals and
// captured output streams and system log.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "context.h"
#include "test_support.h"

namespace lbsnap::testing {

struct LogLine {
    int priority;
    std::string text;
    bool operator==(const LogLine&) const = default;
};

struct ReportHarness {
    Model m;
    Options opt;
    Capture out, err;
    std::vector<LogLine> log;

    ReportHarness() {
        auto def = std::make_unique<Rule_t>();
        def->rule_name = "default";
        m.defRule_id = def.get();
        m.Rules.push_back(std::move(def));
    }

    Ctx ctx() {
        Ctx c{m, opt, out.file(), err.file()};
        c.log = [this](int p, const std::string& t) { log.push_back({p, t}); };
        return c;
    }

    // A TCP VS on port 80, appended to the VS list.
    bahd_config_t& add_vs(int id, const char* vip = "10.0.0.1", int isslave = 0) {
        auto vs = std::make_unique<bahd_config_t>();
        vs->id = id;
        vs->vip = vip;
        vs->port = 80;
        vs->proto = "tcp";
        vs->isslave = isslave;
        m.bahd.push_back(std::move(vs));
        return *m.bahd.back();
    }

    Rule_t& add_rule(int id, const char* name, int type) {
        auto r = std::make_unique<Rule_t>();
        r->id = id;
        r->rule_name = name;
        r->rule_type = static_cast<std::int8_t>(type);
        m.Rules.push_back(std::move(r));
        return *m.Rules.back();
    }
};

}  // namespace lbsnap::testing
