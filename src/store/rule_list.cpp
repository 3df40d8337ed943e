// Facts of rule lists.
#include "store/rule_list.h"

#include <algorithm>

namespace lbsnap {

int rule_is_in(const Rule_list& rl, const Rule_t* rule_id) {
    return std::find(rl.rule_list.begin(), rl.rule_list.end(), rule_id) != rl.rule_list.end();
}

VsRuleLists vs_rule_lists(const bahd_config_t& vs) {
    return {&vs.r, &vs.requests, &vs.responses, &vs.matchbody, &vs.preprocess};
}

bool uses_rules(const bahd_config_t& vs) {
    const VsRuleLists lists = vs_rule_lists(vs);
    return std::any_of(lists.begin(), lists.end(), [](const Rule_list* rl) { return !rl->empty(); });
}

}  // namespace lbsnap
