#include "app/command_line.h"
#include "lib/exit_status.h"

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

#include "app/dispatch.h"

#ifndef LBSNAP_VERSION
#error "LBSNAP_VERSION comes from the project version in CMakeLists.txt"
#endif

namespace lbsnap {

void write_usage(std::FILE* err) { std::fputs("Usage: lbsnap -[v|r|c|s] <vip|rule>\n", err); }

namespace {

// The short options that select no command: they set a field for the
// command chosen by the others.
struct Modifier {
    char letter;
    OptionField field;
    const char* help;
};

constexpr Modifier kModifiers[] = {
    {'f', config_file, "read file instead of /corvane/bahd.conf"},
    {'t', count(&Options::tflag), "-r: content rules only; -tt: the others only"},
    {'a', count(&Options::aflag), "-v: texts raw instead of HTML-escaped"},
    {'V', count(&Options::Vflag), "-T: write the template version line"},
    {'H', flag(&Options::hashsm), "-m, -M, -Q: self-signed if under /tmp/certs"},
    {'6', flag(&Options::ipv6flag), "-N: rules for IPv6 instead of IPv4"},
    {'o', text(&Options::dflt_iface, "iface"), "-N: the output interface"},
    {'n', text(&Options::local_snat, "net"), "-N: the source network not translated"},
};

// The commands' own letters in the order of their codes, then the modifiers.
std::string option_string() {
    std::string s;
    auto add = [&s](char letter, const OptionField& f) {
        s += letter;
        if (takes_argument(f)) s += ':';
    };
    for (const CommandRow& r : command_rows())
        if (!r.after) add(r.letter, r.option);
    for (const Modifier& m : kModifiers) add(m.letter, m.field);
    return s;
}

void apply(const OptionField& f, CommandLine& cl, const char* arg) {
    Options& opt = cl.opt;
    switch (f.kind) {
        case Stores::nothing: break;
        case Stores::text: opt.*f.text = arg; break;
        case Stores::number: opt.*f.number = std::atoi(arg); break;
        case Stores::command_argument: cl.arg = arg; break;
        case Stores::config_file: opt.bahd_file = arg; break;
        case Stores::flag: opt.*f.number = 1; break;
        case Stores::count: ++(opt.*f.number); break;
    }
}

// The row a command letter selects: the one that follows the current
// command (-X -X is 10, -X -v -X is 9), else the letter's own.
const CommandRow* selected_row(int letter, Command current) {
    const CommandRow* own = nullptr;
    for (const CommandRow& r : command_rows()) {
        if (r.letter != letter) continue;
        if (r.after == current) return &r;
        if (!r.after) own = &r;
    }
    return own;
}

// Applies a short option; false when getopt returned no letter of ours.
bool apply_short(int letter, CommandLine& cl, const char* arg) {
    if (const CommandRow* r = selected_row(letter, cl.cmd)) {
        apply(r->option, cl, arg);
        cl.cmd = r->command;
        return true;
    }
    for (const Modifier& m : kModifiers)
        if (m.letter == letter) {
            apply(m.field, cl, arg);
            return true;
        }
    return false;
}

// Longer than anyone waits for a report; keeps the clock arithmetic in range.
constexpr double kLongestResolveTimeout = 1e6;

void set_resolve_timeout(CommandLine& cl, const char* arg) {
    char* end = nullptr;
    const double seconds = std::strtod(arg, &end);
    if (end == arg || *end != '\0' || !std::isfinite(seconds) || seconds <= 0) {
        cl.refusal = "--resolve-timeout takes a number of seconds above 0";
        return;
    }
    cl.opt.resolve_timeout = std::chrono::duration<double>(std::min(seconds, kLongestResolveTimeout));
}

// What the tool offers beyond the short options comes as long options only,
// one row each.
struct LongOption {
    const char* name;
    int has_arg;  // no_argument or required_argument
    void (*apply)(CommandLine& cl, const char* arg);
    const char* help;
    bool names_json_commands = false;  // the help begins with the commands it serves
    const char* operands = "";         // what follows it, as --help shows it
};

constexpr LongOption kLongOptions[] = {
    {"json", no_argument, [](CommandLine& cl, const char*) { cl.opt.json = true; },
     "the report as JSON", true},
    {"check", no_argument, [](CommandLine& cl, const char*) { cl.check = true; },
     "test the configuration file instead of running a command"},
    {"strict", no_argument, [](CommandLine& cl, const char*) { cl.strict = true; },
     "with --check: warnings, too, make the status 1"},
    {"diff", required_argument, [](CommandLine& cl, const char* arg) { cl.diff_old = arg; },
     "what changed from configuration file OLD to NEW (in VS only)", false, "OLD NEW [VS]"},
    {"resolve-timeout", required_argument, set_resolve_timeout,
     "-S, -D, -d: lookups not answered within SECONDS in all count as not found", false,
     "SECONDS"},
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

const char* operand_shown(Operand operand) {
    switch (operand) {
        case Operand::none: break;
        case Operand::vs: return "[VS]";
        case Operand::rule: return "[rule]";
        case Operand::order: return "[order]";
    }
    return "";
}

// How a command is asked for: "-X", "-XX", "-z -Z".
std::string spelling(const CommandRow& r) {
    if (!r.after) return {'-', r.letter};
    const CommandRow& before = command_row(*r.after);
    return spelling(before) + (before.letter == r.letter ? "" : " -") + r.letter;
}

// What --help shows before the description: the option, its argument and
// the command argument.
std::string shown(std::string option, const char* argument, const char* operand = "") {
    for (const char* word : {argument, operand})
        if (*word) option.append(" ").append(word);
    return option;
}

// "-v -r ...: ", the options of the commands that have a JSON form.
std::string json_commands() {
    std::string s;
    for (const CommandRow& r : command_rows())
        if (r.json) s += spelling(r) + ' ';
    if (!s.empty()) {
        s.back() = ':';
        s += ' ';
    }
    return s;
}

// The synopsis is the manual's.
void write_help(std::FILE* out) {
    std::fputs("Usage: lbsnap [-f file] [options] [VS | rule]\n"
               "       lbsnap --diff OLD NEW [VS]\n"
               "       lbsnap --help\n"
               "       lbsnap --version\n\n",
               out);
    auto line = [out](const std::string& option, const char* help) {
        std::fprintf(out, "  %-14s  %s\n", option.c_str(), help);
    };
    std::fputs("Commands (the last one given wins; without one, -v):\n", out);
    for (const CommandRow& r : command_rows())
        line(shown(spelling(r), r.option.shown, operand_shown(r.operand)), r.help);
    std::fputs("Modifiers:\n", out);
    for (const Modifier& m : kModifiers) line(shown({'-', m.letter}, m.field.shown), m.help);
    std::fputs("Long options:\n", out);
    for (const LongOption& o : kLongOptions) {
        const std::string help = o.names_json_commands ? json_commands() + o.help : o.help;
        line(shown(std::string("--") + o.name, o.operands), help.c_str());
    }
}

// --diff OLD NEW [VS]: the files are its own, so it stands alone.
int diff_operands(int ac, char** av, CommandLine& cl, std::FILE* err) {
    const char* refusal = nullptr;
    if (cl.check)
        refusal = "--check and --diff do not go together";
    else if (cl.opt.bahd_file)
        refusal = "--diff reads the two files it names; -f is not used with it";
    else if (optind >= ac || ac - optind > 2)
        refusal = "--diff takes the old and the new configuration file and at most a VS";
    if (refusal) {
        std::fprintf(err, "lbsnap: %s\n", refusal);
        return kExitUsage;
    }
    cl.diff_new = av[optind];
    if (optind + 1 < ac) cl.arg = av[optind + 1];
    return 0;
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
    static const std::string optstring = option_string();
    int ch;
    optind = 0;  // full re-initialisation, so the parser can run more than once
    while ((ch = getopt_long(ac, av, optstring.c_str(), long_table.data(), nullptr)) != -1) {
        if (ch >= kLongBase && ch < kLongBase + kLongCount) {
            kLongOptions[ch - kLongBase].apply(cl, optarg);
            // As GNU tools do, --help and --version win over everything
            // after them: nothing else is parsed, read or run.
            if (cl.about != About::nothing) return 0;
            continue;
        }
        if (!apply_short(ch, cl, optarg)) {
            std::fprintf(err, "Unknown option  '%c'\n", ch);
            write_usage(err);
            return kExitUsage;
        }
    }
    if (cl.refusal) {
        std::fprintf(err, "lbsnap: %s\n", cl.refusal);
        return kExitUsage;
    }
    if (cl.strict && !cl.check) {
        std::fputs("lbsnap: --strict goes with --check\n", err);
        return kExitUsage;
    }
    if (cl.diff_old) return diff_operands(ac, av, cl, err);
    if (optind < ac) cl.arg = av[optind];
    // --check tests the file instead of running a command, so the command
    // options, --json among them, do not matter then.
    if (cl.opt.json && !cl.check && !command_row(cl.cmd).json) {
        std::fputs("JSON output is not available for this command\n", err);
        return kExitUsage;
    }
    return 0;
}

}  // namespace lbsnap
