// Facts of rule lists.
#include "store/rule_list.h"

#include <algorithm>
#include <memory>

namespace lbsnap {

RuleRefs RuleListPool::keep(const std::vector<const Rule_t*>& rules) {
    if (rules.empty()) return RuleRefs();
    const std::size_t need = rules.size() + 1;  // with the null that ends it
    if (need > left_) {
        const std::size_t size = std::max(need, block_size);
        blocks_.push_back(std::make_unique_for_overwrite<const Rule_t*[]>(size));
        free_ = blocks_.back().get();
        left_ = size;
    }
    const Rule_t** first = free_;
    std::copy(rules.begin(), rules.end(), first);
    first[rules.size()] = nullptr;
    free_ += need;
    left_ -= need;
    return RuleRefs(first);
}

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
