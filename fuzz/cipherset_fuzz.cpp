// Records random cipher sets over random custom and system set files, with
// foreign rewrites and leftovers of dead runs in between, and checks what
// every run of the appliance relies on: a recorded set reads back with its
// list, a refused one changes nothing, and no temporary file is left behind.
#include <fuzzer/FuzzedDataProvider.h>
#include <strings.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "lib/cipher_sets.h"
#include "lib/line_read.h"
#include "lib/sysroot.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxSteps = 16;
constexpr std::size_t kMaxName = 40;
constexpr std::size_t kMaxList = 300;
constexpr std::size_t kLineMax = lbsnap::kLineReadMax;  // one read of a set file

enum class Step { record, rewrite, dead_run, kMaxValue = dead_run };

// A private root of this process, laid out for each input and removed after
// it. Every replacement syncs the file to disk, so a memory file system,
// where syncing costs nothing, makes the run many times faster.
constexpr const char* kMemoryFs = "/dev/shm";

const fs::path& fuzz_root() {
    static const fs::path root = [] {
        std::error_code ec;
        fs::path base = fs::is_directory(kMemoryFs, ec) ? fs::path(kMemoryFs) : fs::current_path();
        fs::path dir = base / ("lbsnap-cipherset-fuzz-" + std::to_string(getpid()));
        lbsnap::set_sysroot(dir.string());
        return dir;
    }();
    return root;
}

void write_file(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether the line "NAME LIST" reads back as exactly this set: one line, the
// name up to its only blank, the list not starting with a blank.
bool reads_back(const std::string& name, const std::string& list) {
    return !name.empty() && name[0] != '#' && name.find_first_of(" \n") == std::string::npos &&
           list.find('\n') == std::string::npos && (list.empty() || list[0] != ' ') &&
           name.size() + list.size() + 2 <= kLineMax;
}

// Whether the system file lists the set, read as the appliance reads set
// files: pieces of one read each, the name up to the first blank.
bool system_has(const fs::path& file, const std::string& name) {
    std::FILE* f = std::fopen(file.c_str(), "r");
    if (!f)
        return false;
    char line[kLineMax + 1];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f)) {
        char* blank = std::strchr(line, ' ');
        if (line[0] == '#' || !blank)
            continue;
        *blank = '\0';
        found = strcasecmp(line, name.c_str()) == 0;
    }
    std::fclose(f);
    return found;
}

void check(bool ok, const char* what) {
    if (ok)
        return;
    std::fprintf(stderr, "cipher-set check failed: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lbsnap;
    const fs::path cfg = fuzz_root() / "corvane/cfg";
    const fs::path custom = cfg / "_CIPHER_SETS";
    const fs::path system = fuzz_root() / "etc/cipher_sets";
    fs::remove_all(fuzz_root());
    fs::create_directories(cfg);
    fs::create_directories(system.parent_path());

    FuzzedDataProvider in(data, size);
    std::set<std::string> dead;
    // One run of the tool. Every directory entry is a regular file, so
    // nothing here fails to be recorded: the log stays empty.
    std::size_t logged = 0;
    CipherSetRecorder sets([&logged](int, const std::string&) { ++logged; });
    write_file(custom, in.ConsumeRandomLengthString(4 * kLineMax));
    write_file(system, in.ConsumeRandomLengthString(kMaxList));
    for (std::size_t i = 0; i < kMaxSteps && in.remaining_bytes() > 0; ++i) {
        switch (in.ConsumeEnum<Step>()) {
        case Step::rewrite:
            // As a new file, the way other tools replace it. A rewrite in
            // place to the same size within one timestamp tick looks
            // unchanged to the run's index of the file: that is the price of
            // not reading the whole file for every VS of a dump.
            fs::remove(custom);
            write_file(custom, in.ConsumeRandomLengthString(kLineMax));
            break;
        case Step::dead_run: {
            // Removed when the run next writes to a file it reads afresh; one
            // may stay until then, so only our own temporary files are
            // checked below.
            auto planted = dead.insert("_CIPHER_SETS.tmp" + std::to_string(in.ConsumeIntegral<std::uint16_t>()));
            write_file(cfg / *planted.first, "x");
            break;
        }
        case Step::record: {
            // The library takes C strings.
            const std::string name = in.ConsumeRandomLengthString(kMaxName).c_str();
            const std::string list = in.ConsumeRandomLengthString(kMaxList).c_str();
            const std::string before = read_file(custom);
            bool reserved = name == "Default" || system_has(system, name);
            int r = sets.update(name.c_str(), list.c_str());
            check(r == (reserved ? -1 : 0) && logged == 0, "the result");
            if (reserved)
                check(read_file(custom) == before, "a refused set leaves the file alone");
            else if (reads_back(name, list)) {
                // Read back with its list, recording it again writes nothing.
                const std::string recorded = read_file(custom);
                const bool again = sets.update(name.c_str(), list.c_str()) == 0;
                check(again && read_file(custom) == recorded, "a recorded set reads back");
            }
            for (const auto& e : fs::directory_iterator(cfg)) {
                std::string entry = e.path().filename().string();
                check(entry == "_CIPHER_SETS" || dead.count(entry),
                      "no temporary file is left");
            }
            break;
        }
        }
    }
    fs::remove_all(fuzz_root());
    return 0;
}
