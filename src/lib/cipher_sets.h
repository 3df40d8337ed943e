// Recording custom cipher sets in the appliance's custom set file, the one
// file the tool writes.
#pragma once

#include <chrono>
#include <memory>

#include "lib/log_sink.h"

namespace lbsnap {

// How long one run waits for the lock of the settings directory, in all.
inline constexpr std::chrono::seconds kCipherSetLockWait{5};

// Records custom cipher sets for one run of the tool. A set already stored
// with the same list is recognised from the file as read, without the lock;
// a set that needs writing is written under an exclusive lock of the
// settings directory, taken for that write only. The run waits for the lock
// kCipherSetLockWait in all: once that has run out, no later set waits, and
// each set not recorded is logged.
//
// What it has read of the set files is kept between records and trusted
// only while a file's identity is unchanged, so a run that records a set for
// each of many VSs reads each file once instead of once per VS.
class CipherSetRecorder {
public:
    explicit CipherSetRecorder(LogSink log);
    ~CipherSetRecorder();
    CipherSetRecorder(const CipherSetRecorder&) = delete;
    CipherSetRecorder& operator=(const CipherSetRecorder&) = delete;

    // Records set `name`; 0, or -1 for a system set or when it cannot be
    // recorded (then logged at LOG_WARNING).
    int update(const char* name, const char* ciphers);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace lbsnap
