#include <syslog.h>

#include "reports/report_context.h"

namespace lbsnap {

// The log is used without openlog: default identity and facility.
void system_log(int priority, const std::string& message) {
    syslog(priority, "%s", message.c_str());
}

}  // namespace lbsnap
