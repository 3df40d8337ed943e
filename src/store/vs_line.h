// A line of a VS section as its key's reader sees it. Internal to the
// configuration reader.
#pragma once

#include "store/model.h"

namespace lbsnap {

class ReadContext;

struct VsLine {
    ReadContext& ctx;
    bahd_config_t& vs;
    char* value;  // in the line the reader split out; fields keep copies
};

}  // namespace lbsnap
