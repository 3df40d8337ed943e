// Reads arbitrary bytes as a large file is read, in two parts at once, and
// in one pass, and fails when the two loads differ in anything a report
// or a check shows. The bytes are padded so that the reader splits them at their
// second VS section.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../tests/support/fuzz_root.h"
#include "../tests/support/two_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lbsnap;
    fuzzing::use_private_root();
    const std::string text = two_parts::split_at_second_vs(std::string(reinterpret_cast<const char*>(data), size));
    if (text.empty()) return 0;
    Model one, two;
    const LoadResult r1 = load_text(one, text, nullptr, two_parts::kNever);
    const LoadResult r2 = load_text(two, text, nullptr, two_parts::kAlways);
    std::string diff = testing::first_difference(two_parts::model_print(two, r2), two_parts::model_print(one, r1));
    if (diff.empty())
        diff = testing::first_difference(two_parts::check_print(text, two_parts::kAlways),
                                         two_parts::check_print(text, two_parts::kNever));
    if (!diff.empty()) {
        std::fprintf(stderr, "two parts read otherwise than one pass: %s\n", diff.c_str());
        std::abort();
    }
    return 0;
}
