#include "command_line.h"

#include <getopt.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

namespace lbsnap {

void write_usage(std::FILE* err) { std::fputs("Usage: lbsnap -[v|r|c|s] <vip|rule>\n", err); }

namespace {

// The toggles look only at the current code: -X -X is 10, -X -v -X is 9.
int toggle(int current, int first, int second) { return current == first ? second : first; }

int cert_code(int current) {
    if (current == 13) return 17;
    if (current == 14) return 15;
    return 16;
}

// What the tool offers beyond the short options comes as long options only,
// one row each.
struct LongOption {
    const char* name;
    int has_arg;  // no_argument or required_argument
    void (*apply)(CommandLine& cl, const char* arg);
};

constexpr LongOption kLongOptions[] = {
    {"json", no_argument, [](CommandLine& cl, const char*) { cl.opt.json = true; }},
    {"check", no_argument, [](CommandLine& cl, const char*) { cl.check = true; }},
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

}  // namespace

int parse_command_line(int ac, char** av, CommandLine& cl, std::FILE* err) {
    Options& o = cl.opt;
    static const auto long_table = getopt_long_table();
    int ch;
    optind = 0;  // full re-initialisation, so the parser can run more than once
    while ((ch = getopt_long(ac, av, kOptString, long_table.data(), nullptr)) != -1) {
        if (ch >= kLongBase && ch < kLongBase + kLongCount) {
            kLongOptions[ch - kLongBase].apply(cl, optarg);
            continue;
        }
        switch (ch) {
            case 'v': cl.cmd = 0; break;
            case 'r': cl.cmd = 1; break;
            case 'c': cl.cmd = 2; break;
            case 's': cl.cmd = 3; break;
            case 'l': cl.cmd = 4; break;
            case 'L': cl.cmd = 5; break;
            case 'S': cl.cmd = 6; break;
            case 'N': o.dflt_snat = optarg; cl.cmd = 7; break;
            case 'R': o.tst_rule_id = optarg; cl.cmd = 8; break;
            case 'X': cl.cmd = toggle(cl.cmd, 9, 10); break;
            case 'C': cl.cmd = toggle(cl.cmd, 11, 12); break;
            case 'z': cl.cmd = toggle(cl.cmd, 13, 14); break;
            case 'Z': o.certfile = optarg; cl.cmd = cert_code(cl.cmd); break;
            case 'M': o.certfile = optarg; cl.cmd = 18; break;
            case 'm': cl.cmd = 19; break;
            case 'Q': o.certfile = optarg; cl.cmd = 20; break;
            case 'q': o.certfile = optarg; cl.cmd = 21; break;
            case 'F': o.followid = std::atoi(optarg); cl.cmd = 22; break;
            case 'T': cl.arg = optarg; cl.cmd = 23; break;
            case 'b': o.followid = std::atoi(optarg); cl.cmd = 24; break;
            case 'B': o.followid = std::atoi(optarg); cl.cmd = 25; break;
            case 'd': cl.arg = optarg; cl.cmd = 26; break;
            case 'D': cl.cmd = 27; break;
            case 'A': cl.arg = optarg; cl.cmd = 28; break;
            case 'Y': cl.cmd = 29; break;
            case 'E': cl.cmd = 30; break;
            case 'I': o.certfile = optarg; cl.cmd = 31; break;
            case 'J': cl.cmd = 32; break;
            case 'j': cl.cmd = 33; break;
            case 'w': o.wafid = std::atoi(optarg); cl.cmd = 34; break;
            case 'W': o.wafid = std::atoi(optarg); cl.cmd = 35; break;
            case 'f': o.bahd_file = optarg; break;
            case 'n': o.local_snat = optarg; break;
            case 'o': o.dflt_iface = optarg; break;
            case 'H': o.hashsm = 1; break;
            case '6': o.ipv6flag = 1; break;
            case 't': o.tflag++; break;
            case 'a': o.aflag++; break;
            case 'V': o.Vflag++; break;
            default:
                std::fprintf(err, "Unknown option  '%c'\n", ch);
                write_usage(err);
                return 2;
        }
    }
    if (optind < ac) cl.arg = av[optind];
    // --check tests the file instead of running a command, so the command
    // options, --json among them, do not matter then.
    if (o.json && !cl.check && !has_json_form(cl.cmd)) {
        std::fputs("JSON output is not available for this command\n", err);
        return 2;
    }
    return 0;
}

}  // namespace lbsnap
