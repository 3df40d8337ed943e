// Template.
#pragma once


#include "reports/report_context.h"

namespace lbsnap {

// The whole template of a VS that is not a sub-VS.
void print_template(Ctx& c, const bahd_config_t& vs);

}  // namespace lbsnap
