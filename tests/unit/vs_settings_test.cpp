// The setting rows against what is made by hand beside them: the JSON
// Schema that documents the dump's members, and the fuzzer's dictionary.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>

#include "lib/ascii.h"
#include "store/vs_setting.h"

namespace lbsnap {
namespace {

std::string source_file(const std::string& name) {
    std::ifstream in(std::string(LBSNAP_SOURCE_DIR) + "/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The JSON type of a row's member.
std::string json_type(const VsSetting& row) {
    switch (row.line.kind) {
        case LineKind::counted:
        case LineKind::listed:
        case LineKind::real_servers: return "array";
        default: return std::string_view(row.line.format).find("%d") != std::string_view::npos
                            ? "integer" : "string";
    }
}

// A member the dump writes for every VS: an int or a list without a
// condition, a text written even when empty. Derived values decide for
// themselves and are not judged here.
bool unconditional(const VsSetting& row) {
    if (row.gate != Gate::none) return false;
    switch (row.line.kind) {
        case LineKind::by_kind: return json_type(row) == "integer";
        case LineKind::always:
        case LineKind::counted:
        case LineKind::listed:
        case LineKind::real_servers: return true;
        default: return false;
    }
}

TEST(VsSettings, SchemaDescribesEveryMemberOfTheDumpAndNoOther) {
    const auto schema = nlohmann::json::parse(source_file("doc/lbsnap-json.schema.json"));
    const auto& vs = schema["$defs"]["vs"];
    std::set<std::string> required(vs["required"].begin(), vs["required"].end());
    std::set<std::string> members;
    for (const VsSetting& row : vs_settings()) {
        if (row.line.kind == LineKind::none) continue;
        const std::string name = ascii_lower(row.dump_key());
        SCOPED_TRACE(name);
        ASSERT_TRUE(vs["properties"].contains(name));
        EXPECT_EQ(vs["properties"][name]["type"], json_type(row));
        if (row.line.kind != LineKind::derived) {
            EXPECT_EQ(required.count(name), unconditional(row) ? 1u : 0u);
        }
        members.insert(name);
    }
    for (const auto& [name, _] : vs["properties"].items()) EXPECT_EQ(members.count(name), 1u) << name;
}

TEST(VsSettings, FuzzDictionaryHoldsEveryKey) {
    const std::string dict = source_file("fuzz/reader_fuzz.dict");
    for (const VsSetting& row : vs_settings()) {
        if (row.key.empty()) continue;
        EXPECT_NE(dict.find("\"" + std::string(row.key) + " \""), std::string::npos) << row.key;
    }
}

}  // namespace
}  // namespace lbsnap
