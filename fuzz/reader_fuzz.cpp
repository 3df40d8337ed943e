// Feeds arbitrary bytes to the configuration reader, then runs a few
// reports over whatever it loaded, and the configuration check over the
// same bytes, writing to the null stream.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "../tests/support/fuzz_root.h"
#include "app/context.h"
#include "app/dispatch.h"
#include "reports/check.h"
#include "store/diagnostics.h"
#include "store/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lbsnap;
    static std::FILE* devnull = std::fopen("/dev/null", "w");
    fuzzing::use_private_root();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    Options opt;
    {
        Model checked;
        Diagnostics d;
        (void)load_text(checked, text, &d);
        Ctx c{checked, opt, devnull, devnull, [](int, const std::string&) {}};
        (void)print_check(c, d, "fuzz", false);
    }
    Model m;
    if (load_text(m, text).status != LoadStatus::ok) return 0;
    Ctx c{m, opt, devnull, devnull, [](int, const std::string&) {}};
    using enum Command;
    for (Command cmd : {dump, rules, real_servers, snat, server_certs, cert_users, self_signed,
                        server_counts, usage_stats, all_rule_users, max_check_time}) {
        opt.certfile = "x";
        opt.dflt_snat = "1.2.3.4";
        (void)perform_command(c, cmd, nullptr);
    }
    opt.json = true;
    for (Command cmd : {dump, rules, real_servers, server_counts, usage_stats, all_rule_users})
        (void)perform_command(c, cmd, nullptr);
    opt.json = false;
    if (!m.bahd.empty()) (void)perform_command(c, vs_template, "1");
    return 0;
}
