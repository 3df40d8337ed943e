// lbsnap: reads the daemon configuration once, runs one command, exits.
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/command_line.h"
#include "app/context.h"
#include "app/diff_command.h"
#include "app/dispatch.h"
#include "lib/exit_status.h"
#include "lib/heap_prep.h"
#include "lib/sysroot.h"
#include "reports/check.h"
#include "store/diagnostics.h"
#include "store/reader.h"

namespace {

constexpr int kReportTableMmapThreshold = 256 << 10;

// A report that did not reach standard output is lost: saying so, with a
// status no other outcome has, keeps it from passing as one that arrived.
// A reader that went away (a closed pipe) is no failure of ours: the
// process ends quietly, as it would by the signal.
[[noreturn]] void finish(int status) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno ? errno : EIO;
        if (error != EPIPE) {
            std::fprintf(stderr, "lbsnap: write error: %s\n", std::strerror(error));
            status = lbsnap::kExitWriteError;
        }
    }
    std::fflush(stderr);
    std::exit(status);
}

// --diff loads two files.
void prepare_heap(std::initializer_list<const char*> paths) {
    std::size_t bytes = 0;
    for (const char* path : paths) {
        struct stat st {};
        if (stat(path, &st) == 0 && st.st_size > 0) bytes += static_cast<std::size_t>(st.st_size);
    }
    lbsnap::prepare_heap(bytes);
}

// The tables a report builds on the model are few, large and grow by
// doubling: mapped on their own, a table's old block goes back to the system
// when it grows instead of staying in the heap beside the new one.
void map_report_tables_apart() { mallopt(M_MMAP_THRESHOLD, kReportTableMmapThreshold); }

[[noreturn]] void run(int ac, char** av) {
    using namespace lbsnap;
    // Reports are many small writes; one large buffer keeps them cheap.
    static char outbuf[1 << 16];
    std::setvbuf(stdout, outbuf, _IOFBF, sizeof outbuf);

    CommandLine cl;
    if (int status = parse_command_line(ac, av, cl, stderr)) finish(status);
    if (cl.about != About::nothing) finish(write_about(cl.about, stdout));
    if (cl.diff_old) {
        prepare_heap({cl.diff_old, cl.diff_new});
        finish(run_diff(cl, stdout, stderr));
    }

    // The model lives until the process exits: reports point into it, and
    // tearing down hundreds of thousands of records at exit buys nothing.
    Model& model = *new Model;
    const std::string path = cl.opt.bahd_file ? *cl.opt.bahd_file : sys_path("/corvane/bahd.conf");
    prepare_heap({path.c_str()});
    Diagnostics findings;
    const LoadResult loaded = load_data(model, path, cl.check ? &findings : nullptr);
    std::fputs(loaded.message.c_str(), stderr);
    switch (loaded.status) {
        case LoadStatus::ok: break;
        case LoadStatus::cannot_open:
        case LoadStatus::cannot_read: finish(kExitCannotOpen);
        case LoadStatus::invalid_rs_address: finish(kExitInvalidRsAddress);
    }
    map_report_tables_apart();

    Ctx ctx{model, cl.opt, stdout, stderr};
    if (cl.check) finish(print_check(ctx, findings, path, cl.strict));
    finish(perform_command(ctx, cl.cmd, cl.arg));
}

}  // namespace

int main(int ac, char** av) {
    // A configuration too large for the memory at hand ends the run with a
    // message and a status of its own, not an abort. The custom cipher-set
    // file is only ever replaced by a complete copy, so leaving early leaves
    // it whole.
    try {
        run(ac, av);
    } catch (const std::bad_alloc&) {
        std::fputs("lbsnap: out of memory\n", stderr);
        finish(lbsnap::kExitOutOfMemory);
    }
}
