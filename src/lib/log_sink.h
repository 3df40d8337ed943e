// Where a library sends what it could not do and has no other way to say:
// the app connects it to the system log, tests to a list.
#pragma once

#include <functional>
#include <string>

namespace lbsnap {

// Writes one message at a syslog priority.
using LogSink = std::function<void(int priority, const std::string& message)>;

}  // namespace lbsnap
