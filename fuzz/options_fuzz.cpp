// Arbitrary argument vectors (NUL-separated in the input) through the option
// parser.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lbsnap;
    static std::FILE* devnull = std::fopen("/dev/null", "w");
    std::vector<std::string> args{"lbsnap"};
    std::string cur;
    for (std::size_t i = 0; i < size && args.size() < 64; i++) {
        if (data[i] == 0) {
            args.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(cur);
    std::vector<char*> argv;
    for (auto& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    CommandLine cl;
    opterr = 0;  // getopt's own diagnostics would flood the fuzzer's output
    (void)parse_command_line(static_cast<int>(args.size()), argv.data(), cl, devnull);
    // Whatever the options, they choose one of the commands dispatch knows.
    const int code = static_cast<int>(cl.cmd);
    if (code < 0 || code >= kCommandCount) __builtin_trap();
    return 0;
}
