// Facts of rule lists: membership, and the five lists through which a VS
// uses rules.
#pragma once

#include <array>
#include <cstddef>

#include "store/model.h"

namespace lbsnap {

// 1 if rule_id is one of the list's entries (the same record, not an equal
// one), else 0.
int rule_is_in(const Rule_list& rl, const Rule_t* rule_id);

// The five lists of a VS, in the order of their configuration keys
// ("RULES:", "REQUESTS:", "RESPONSES:", "MATCHBODY:", "PREPROCESS:").
enum VsRuleList : std::size_t {
    kRulesList,
    kRequestsList,
    kResponsesList,
    kMatchbodyList,
    kPreprocessList,
    kVsRuleLists,  // how many
};
using VsRuleLists = std::array<const Rule_list*, kVsRuleLists>;
VsRuleLists vs_rule_lists(const bahd_config_t& vs);
// True when any of the five lists holds a rule.
bool uses_rules(const bahd_config_t& vs);

}  // namespace lbsnap
