#include <syslog.h>

#include "context.h"

namespace lbsnap {

// The log is used without openlog: default identity and facility.
void system_log(int priority, const std::string& message) {
    syslog(priority, "%s", message.c_str());
}

}  // namespace lbsnap
