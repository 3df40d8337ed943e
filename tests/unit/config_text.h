// Models for the unit tests, loaded from configuration text as the tool loads its file.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/reader.h"
#include "test_support.h"

namespace lbsnap::testing {

// Loads `text`, expecting success and no message.
inline std::unique_ptr<Model> load_ok(std::string_view text) {
    auto m = std::make_unique<Model>();
    const LoadResult loaded = load_text(*m, text);
    EXPECT_EQ(loaded.status, LoadStatus::ok);
    EXPECT_EQ(loaded.message, "");
    return m;
}

inline std::string vs_section(const std::string& body) {
    return "<SECTION VS>\n" + body + "<END VS>\n";
}

// A TCP VS on 10.0.0.1 port 80, unless `settings` say otherwise (a key
// given again replaces what it set).
inline std::string tcp_vs(const std::string& settings = "") {
    return vs_section("VIP: 10.0.0.1\nPORT: 80\nPROTO: tcp\n" + settings);
}

// A rule that passes the consistency test for its type.
inline std::string rule_section(int id, int type = 0) {
    return "<RULE>\nID: " + std::to_string(id) + "\nNAME: r" + std::to_string(id) +
           "\nTYPE: " + std::to_string(type) + "\nVALUE: v\nHEADER: h\nREPLACEMENT: x\n<END RULE>\n";
}

// Rule numbers of a list in order (the default rule is 0).
inline std::vector<int> rule_ids(const Rule_list& rl) {
    std::vector<int> ids;
    for (const Rule_t* r : rl.rule_list) ids.push_back(r->id);
    return ids;
}

inline std::vector<int> vs_ids(const Model& m) {
    std::vector<int> ids;
    for (const auto& vs : m.bahd) ids.push_back(vs->id);
    return ids;
}

inline const bahd_config_t& only_vs(const Model& m) {
    EXPECT_EQ(m.bahd.size(), 1u);
    return *m.bahd.at(0);
}

}  // namespace lbsnap::testing
