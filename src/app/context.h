// The context the app hands to the one command it runs: the reports' own.
#pragma once

#include "reports/report_context.h"
