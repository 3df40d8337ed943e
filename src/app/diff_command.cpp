#include "app/diff_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "app/vs_argument.h"
#include "lib/exit_status.h"
#include "query/lookup.h"
#include "reports/diff.h"
#include "store/reader.h"

namespace lbsnap {

namespace {

// Why the file at path cannot be read at all, or empty.
std::string unreadable(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat st {};
    const bool dir = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    close(fd);
    return dir ? std::strerror(EISDIR) : std::string();
}

// Loads one of the two files; a file that cannot be read, or that holds a
// real-server address the reports would stop at, is named with what is wrong.
int load(Model& m, const char* path, std::FILE* err) {
    if (const std::string why = unreadable(path); !why.empty()) {
        std::fprintf(err, "lbsnap: %s: cannot read: %s\n", path, why.c_str());
        return kExitCannotOpen;
    }
    const LoadResult loaded = load_data(m, path);
    if (loaded.status == LoadStatus::ok) return kExitOk;
    const char* what =
        loaded.status == LoadStatus::cannot_open ? "cannot read\n" : loaded.message.c_str();
    std::fprintf(err, "lbsnap: %s: %s", path, what);
    return kExitCannotOpen;
}

}  // namespace

int run_diff(const CommandLine& cl, std::FILE* out, std::FILE* err) {
    // Both models live until the process exits, as the reports' one does.
    Model& old_model = *new Model;
    Model& new_model = *new Model;
    if (int status = load(old_model, cl.diff_old, err)) return status;
    if (int status = load(new_model, cl.diff_new, err)) return status;
    const bahd_config_t* only = nullptr;
    if (cl.arg) {
        const VsLookup in_new = locate_vip(new_model, cl.arg);
        only = in_new.vs ? in_new.vs : locate_vip(old_model, cl.arg).vs;
        if (!only) {
            print_lookup_failure(err, cl.arg, in_new.error);
            return kExitVsNotFound;
        }
    }
    return print_diff({old_model, new_model, cl.opt, only, out, err});
}

}  // namespace lbsnap
