// Compiled separately into every executable with its own LBSNAP_ROOT_DIR.
#include "lib/sysroot.h"

#ifndef LBSNAP_ROOT_DIR
#define LBSNAP_ROOT_DIR ""
#endif

const char* lbsnap::lbsnap_compiled_root() { return LBSNAP_ROOT_DIR; }
