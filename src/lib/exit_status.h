// The exit statuses of the tool: scripts and the web interface test them,
// so each value is part of the interface. Some share a value on purpose.
#pragma once

namespace lbsnap {

enum ExitStatus : int {
    kExitOk = 0,
    kExitNoVsGiven = 1,         // -T without a VS
    kExitCheckFoundError = 1,   // --check found an error
    kExitDifferences = 1,       // --diff found differences
    kExitUsage = 2,             // unknown option, --json for a command without a JSON form
    kExitVsNotFound = 2,        // -T, -A with a VS that is not found
    kExitCannotOpen = 3,        // the configuration file cannot be opened
    kExitWrongVsKind = 3,       // -T on a sub-VS, -A on a master
    kExitInvalidRsAddress = 27, // a real-server address in the configuration is invalid
    kExitOutOfMemory = 71,      // an allocation failed (sysexits' EX_OSERR)
    kExitWriteError = 74,       // standard output could not be written (sysexits' EX_IOERR)
};

}  // namespace lbsnap
