// Feeds arbitrary bytes to the configuration reader.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lbsnap;
    static std::FILE* devnull = std::fopen("/dev/null", "w");
    Model m;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)load_text(m, text, devnull);
    return 0;
}
