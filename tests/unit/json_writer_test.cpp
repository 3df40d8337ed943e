#include "reports/json_writer.h"

#include <gtest/gtest.h>

#include <climits>
#include <nlohmann/json.hpp>
#include <string>

#include "test_support.h"

namespace lbsnap {
namespace {

using nlohmann::json;

// Writes `j` through the writer, call by call, in the order the library
// lays it out.
void write(JsonWriter& w, const json& j) {
    if (j.is_object()) {
        w.begin_object();
        for (const auto& [k, v] : j.items()) {
            w.key(k);
            write(w, v);
        }
        w.end_object();
    } else if (j.is_array()) {
        w.begin_array();
        for (const json& v : j) write(w, v);
        w.end_array();
    } else if (j.is_number()) {
        w.number(j.get<long long>());
    } else if (j.is_string()) {
        w.text(j.get_ref<const std::string&>());
    } else if (j.is_boolean()) {
        w.boolean(j.get<bool>());
    } else {
        w.null();
    }
}

// The writer's text is the library's, indented by two, with a newline after.
void expect_laid_out_as_library(const json& j) {
    testing::Capture out;
    {
        JsonWriter w(out.file());
        write(w, j);
    }
    EXPECT_EQ(out.str(), j.dump(2, ' ', false, json::error_handler_t::replace) + "\n");
}

// Numbers at the limits, texts the library escapes, nesting past the
// prepared indentation; then the writer's block filled and emptied at every
// offset, by pieces of all sizes around it and texts larger than it.
TEST(JsonWriter, WritesWhatTheLibraryWrites) {
    expect_laid_out_as_library({{"limits", {0, -1, INT_MIN, INT_MAX, LLONG_MIN, LLONG_MAX}},
                                {"texts", {"", "plain", "q\"b\\", "tab\tnl\n", "\u00e9", "bad\xff"}},
                                {"empty", {{"a", json::array()}, {"o", json::object()}}},
                                {"flags", {true, false, nullptr}}});
    json deep = 7;
    for (int level = 0; level < 40; ++level) deep = json::array({deep, json::object({{"k", level}})});
    expect_laid_out_as_library(deep);
    constexpr std::size_t kBlock = 1 << 16;
    json pieces = json::array();
    for (std::size_t n = 0; n < 700; ++n) pieces.push_back(std::string(n * 7 % 613, 'a' + n % 26));
    for (std::size_t n : {kBlock - 1, kBlock, kBlock + 1, 3 * kBlock})
        pieces.push_back(std::string(n, 'z'));
    expect_laid_out_as_library({{"pieces", pieces}});
}

// An array whose elements are written apart, in parts spliced in order, is
// the array written in one go: at the top and nested in an object, with an
// empty part among them, and with parts larger than the writer's block.
TEST(JsonWriter, SplicedPartsAreTheWholeArray) {
    const json elements = {1, {{"k", "v"}}, json::array({2, 3}), std::string(70000, 'x'), "last"};
    const std::size_t cuts[] = {0, 1, 1, 3, 5};  // parts [0,1), [1,1), [1,3), [3,5)
    for (bool nested : {false, true}) {
        testing::Capture out;
        {
            JsonWriter w(out.file());
            if (nested) {
                w.begin_object();
                w.key("list");
            }
            w.begin_array();
            for (std::size_t p = 0; p + 1 < std::size(cuts); ++p) {
                std::string part;
                {
                    JsonWriter pw(part, nested ? 2 : 1, cuts[p] > 0);
                    for (std::size_t i = cuts[p]; i < cuts[p + 1]; ++i) write(pw, elements[i]);
                }
                w.splice(part);
            }
            w.end_array();
            if (nested) w.end_object();
        }
        const json whole = nested ? json{{"list", elements}} : elements;
        EXPECT_EQ(out.str(), whole.dump(2, ' ', false, json::error_handler_t::replace) + "\n") << nested;
    }
    testing::Capture out;
    {
        JsonWriter w(out.file());
        w.begin_array();
        w.splice("");
        w.end_array();
    }
    EXPECT_EQ(out.str(), "[]\n");
}

}  // namespace
}  // namespace lbsnap
