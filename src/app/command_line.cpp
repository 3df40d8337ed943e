#include "app/command_line.h"
#include "lib/exit_status.h"

#include <getopt.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

#include "app/dispatch.h"

#ifndef LBSNAP_VERSION
#error "LBSNAP_VERSION comes from the project version in CMakeLists.txt"
#endif

namespace lbsnap {

void write_usage(std::FILE* err) { std::fputs("Usage: lbsnap -[v|r|c|s] <vip|rule>\n", err); }

namespace {

// How an option changes the command chosen so far.
enum class Selects {
    nothing,      // a modifier: the command stays
    command,      // its command, whatever came before
    toggle,       // its command, or the next code right after its command
    certificate,  // -Z: its command, or the client and re-encrypting forms after -z, -zz
};

// Where an option puts its argument, or what it does to its field without one.
enum class Stores { nothing, text, number, command_argument, config_file, flag, count };

struct Field {
    Stores kind = Stores::nothing;
    const char* Options::*text = nullptr;
    int Options::*number = nullptr;
};

constexpr Field text(const char* Options::*m) { return {Stores::text, m, nullptr}; }
constexpr Field number(int Options::*m) { return {Stores::number, nullptr, m}; }  // through atoi
constexpr Field flag(int Options::*m) { return {Stores::flag, nullptr, m}; }
constexpr Field count(int Options::*m) { return {Stores::count, nullptr, m}; }
constexpr Field command_argument{Stores::command_argument};
constexpr Field config_file{Stores::config_file};
constexpr Field nothing{};

constexpr bool takes_argument(const Field& f) {
    return f.kind == Stores::text || f.kind == Stores::number ||
           f.kind == Stores::command_argument || f.kind == Stores::config_file;
}

struct ShortOption {
    char letter;
    Selects selects;
    Command command;
    Field field;
    const char* shown;  // what --help shows after the letter
    const char* help;
};

using enum Command;
using S = Selects;

// Every short option, commands in the order of their codes, then the
// modifiers; --help lists them in this order.
constexpr ShortOption kShortOptions[] = {
    {'v', S::command, dump, nothing, "[VS]",
     "dump the settings of the VS, or of every VS (default)"},
    {'r', S::command, rules, nothing, "[rule]", "one summary line for the rule, or for every rule"},
    {'c', S::command, checks, nothing, "", "the global health-check and adaptive parameters"},
    {'s', S::command, real_servers, nothing, "[VS]", "the distinct real-server addresses"},
    {'l', S::command, vs_list, nothing, "[VS]", "the VS end points, as proto/address+port"},
    {'L', S::command, ssl_vs_list, nothing, "[VS]", "the SSL VS end points, as address,port"},
    {'S', S::command, named_real_servers, nothing, "[VS]",
     "the distinct real-server and VS addresses, with names"},
    {'N', S::command, snat, text(&Options::dflt_snat), "ADDR",
     "iptables SNAT rule arguments, ADDR as source address"},
    {'R', S::command, rule_users, text(&Options::tst_rule_id), "RULE", "the VSs that use RULE"},
    {'X', S::toggle, gateways, nothing, "[VS]",
     "IPv4 VS addresses and default gateways; -XX: IPv6"},
    {'C', S::toggle, cert_names, nothing, "[VS]",
     "certificate names of IPv4 SSL VSs; -CC: FIPS names"},
    {'z', S::toggle, server_certs, nothing, "[VS]", "server certificate names; -zz: client ones"},
    {'Z', S::certificate, cert_users, text(&Options::certfile), "NAME",
     "VSs using server cert NAME; -z -Z: client, -zz -Z: not"},
    {'M', S::command, cert_addable, text(&Options::certfile), "NAME",
     "the SSL VSs that certificate NAME could be added to"},
    {'m', S::command, self_signed, nothing, "",
     "the SSL VSs whose certificate counts as self-signed"},
    {'Q', S::command, cert_lists, text(&Options::certfile), "NAME",
     "the SSL VSs that use certificate NAME, as shell assignments"},
    {'q', S::command, client_cert_lists, text(&Options::certfile), "NAME",
     "the same for NAME as client certificate"},
    {'F', S::command, vs_follows, number(&Options::followid), "ID",
     "the VSs that VS ID can follow"},
    {'T', S::command, vs_template, command_argument, "VS", "a template of the VS"},
    {'b', S::command, rs_follows, number(&Options::followid), "ID",
     "the real servers that real server ID can follow"},
    {'B', S::command, rs_followers, number(&Options::followid), "ID",
     "the real servers that follow real server ID"},
    {'d', S::command, resolve_name, command_argument, "NAME", "resolve one real-server name"},
    {'D', S::command, resolve_all, nothing, "",
     "a change script for DNS-named real servers that moved"},
    {'A', S::command, addable_servers, command_argument, "VS",
     "the real servers of other VSs that could be added to VS"},
    {'Y', S::command, server_counts, nothing, "[ORDER]", "every real server with its use counts"},
    {'E', S::command, usage_stats, nothing, "", "the usage-statistics string"},
    {'I', S::command, verify_cert_count, text(&Options::certfile), "NAME",
     "how often NAME is a verification certificate"},
    {'J', S::command, all_rule_users, nothing, "", "every rule with the VSs that use it"},
    {'j', S::command, max_check_time, nothing, "", "the longest check time on the global interval"},
    {'w', S::command, waf_vs, number(&Options::wafid), "ID", "the VSs in WAF mode, VS ID selected"},
    {'W', S::command, owasp_vs, number(&Options::wafid), "ID",
     "the VSs in OWASP mode, VS ID selected"},
    {'f', S::nothing, dump, config_file, "FILE", "read FILE instead of /corvane/bahd.conf"},
    {'t', S::nothing, dump, count(&Options::tflag), "",
     "-r: content rules only; -tt: the others only"},
    {'a', S::nothing, dump, count(&Options::aflag), "", "-v: texts raw instead of HTML-escaped"},
    {'V', S::nothing, dump, count(&Options::Vflag), "", "-T: write the template version line"},
    {'H', S::nothing, dump, flag(&Options::hashsm), "",
     "-m, -M, -Q: self-signed if under /tmp/certs"},
    {'6', S::nothing, dump, flag(&Options::ipv6flag), "", "-N: rules for IPv6 instead of IPv4"},
    {'o', S::nothing, dump, text(&Options::dflt_iface), "IFACE", "-N: the output interface"},
    {'n', S::nothing, dump, text(&Options::local_snat), "NET",
     "-N: the source network not translated"},
};

constexpr auto kOptString = [] {
    std::array<char, 2 * std::size(kShortOptions) + 1> s{};  // the zero tail ends it
    std::size_t n = 0;
    for (const ShortOption& o : kShortOptions) {
        s[n++] = o.letter;
        if (takes_argument(o.field)) s[n++] = ':';
    }
    return s;
}();

// The toggles look only at the current command: -X -X is 10, -X -v -X is 9.
Command chosen(const ShortOption& o, Command current) {
    switch (o.selects) {
        case Selects::nothing: return current;
        case Selects::command: break;
        case Selects::toggle:
            if (current == o.command) return static_cast<Command>(static_cast<int>(o.command) + 1);
            break;
        case Selects::certificate:
            if (current == server_certs) return client_cert_users;
            if (current == client_certs) return reenc_without_cert;
            break;
    }
    return o.command;
}

void apply(const ShortOption& o, CommandLine& cl, const char* arg) {
    Options& opt = cl.opt;
    switch (o.field.kind) {
        case Stores::nothing: break;
        case Stores::text: opt.*o.field.text = arg; break;
        case Stores::number: opt.*o.field.number = std::atoi(arg); break;
        case Stores::command_argument: cl.arg = arg; break;
        case Stores::config_file: opt.bahd_file = arg; break;
        case Stores::flag: opt.*o.field.number = 1; break;
        case Stores::count: ++(opt.*o.field.number); break;
    }
    cl.cmd = chosen(o, cl.cmd);
}

const ShortOption* short_option(int letter) {
    for (const ShortOption& o : kShortOptions)
        if (o.letter == letter) return &o;
    return nullptr;
}

// What the tool offers beyond the short options comes as long options only,
// one row each.
struct LongOption {
    const char* name;
    int has_arg;  // no_argument or required_argument
    void (*apply)(CommandLine& cl, const char* arg);
    const char* help;
};

constexpr LongOption kLongOptions[] = {
    {"json", no_argument, [](CommandLine& cl, const char*) { cl.opt.json = true; },
     "-v -r -R -J -c -l -L -s -Y -E: the report as JSON"},
    {"check", no_argument, [](CommandLine& cl, const char*) { cl.check = true; },
     "test the configuration file instead of running a command"},
    {"help", no_argument, [](CommandLine& cl, const char*) { cl.about = About::help; },
     "display this help and exit"},
    {"version", no_argument, [](CommandLine& cl, const char*) { cl.about = About::version; },
     "output version information and exit"},
};
constexpr int kLongCount = static_cast<int>(std::size(kLongOptions));

// getopt_long reports a long option by this value plus its row, above every
// letter it can return.
constexpr int kLongBase = 0x100;

std::array<option, kLongCount + 1> getopt_long_table() {
    std::array<option, kLongCount + 1> t{};
    for (int i = 0; i < kLongCount; ++i)
        t[i] = option{kLongOptions[i].name, kLongOptions[i].has_arg, nullptr, kLongBase + i};
    return t;  // the last row stays zero: the end marker
}

void write_help(std::FILE* out) {
    write_usage(out);
    std::fputs("\n", out);
    for (const ShortOption& o : kShortOptions)
        std::fprintf(out, "  -%c %-10s  %s\n", o.letter, o.shown, o.help);
    for (const LongOption& o : kLongOptions) std::fprintf(out, "      --%-7s  %s\n", o.name, o.help);
}

}  // namespace

int write_about(About about, std::FILE* out) {
    if (about == About::help)
        write_help(out);
    else
        std::fprintf(out, "lbsnap %s\n", LBSNAP_VERSION);
    return 0;
}

int parse_command_line(int ac, char** av, CommandLine& cl, std::FILE* err) {
    static const auto long_table = getopt_long_table();
    int ch;
    optind = 0;  // full re-initialisation, so the parser can run more than once
    while ((ch = getopt_long(ac, av, kOptString.data(), long_table.data(), nullptr)) != -1) {
        if (ch >= kLongBase && ch < kLongBase + kLongCount) {
            kLongOptions[ch - kLongBase].apply(cl, optarg);
            // As GNU tools do, --help and --version win over everything
            // after them: nothing else is parsed, read or run.
            if (cl.about != About::nothing) return 0;
            continue;
        }
        const ShortOption* o = short_option(ch);
        if (!o) {
            std::fprintf(err, "Unknown option  '%c'\n", ch);
            write_usage(err);
            return kExitUsage;
        }
        apply(*o, cl, optarg);
    }
    if (optind < ac) cl.arg = av[optind];
    // --check tests the file instead of running a command, so the command
    // options, --json among them, do not matter then.
    if (cl.opt.json && !cl.check && !has_json_form(cl.cmd)) {
        std::fputs("JSON output is not available for this command\n", err);
        return kExitUsage;
    }
    return 0;
}

}  // namespace lbsnap
