// lbsnap: reads the daemon configuration once, runs one command, exits.
#include <cstdio>
#include <cstdlib>

#include "command_line.h"
#include "context.h"
#include "diagnostics.h"
#include "reader.h"
#include "reports.h"
#include "sysroot.h"

namespace {

[[noreturn]] void finish(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(status);
}

}  // namespace

int main(int ac, char** av) {
    using namespace lbsnap;
    // Reports are many small writes; one large buffer keeps them cheap.
    static char outbuf[1 << 16];
    std::setvbuf(stdout, outbuf, _IOFBF, sizeof outbuf);

    CommandLine cl;
    if (int status = parse_command_line(ac, av, cl, stderr)) finish(status);

    // The model lives until the process exits: reports point into it, and
    // tearing down hundreds of thousands of records at exit buys nothing.
    Model& model = *new Model;
    const std::string path = cl.opt.bahd_file ? *cl.opt.bahd_file : sys_path("/corvane/bahd.conf");
    Diagnostics findings;
    switch (load_data(model, path, stderr, cl.check ? &findings : nullptr)) {
        case LoadStatus::ok: break;
        case LoadStatus::cannot_open: finish(3);
        case LoadStatus::invalid_rs_address: finish(27);
    }

    Ctx ctx{model, cl.opt, stdout, stderr};
    if (cl.check) finish(print_check(ctx, findings, path));
    finish(perform_command(ctx, cl.cmd, cl.arg));
}
