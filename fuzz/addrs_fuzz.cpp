// Arbitrary text through the address, extra-port and check-code parsers.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "lib/addrs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lbsnap;
    std::string text(reinterpret_cast<const char*>(data), size);
    lm_sockaddr sa{};
    if (lm_str2addr(&sa, text.c_str())) (void)lm_addrport(sa);
    lm_addr a{};
    if (lm_cvtaddr(&a, text.c_str())) (void)lm_print_addr(a);
    char hash[33];
    (void)lm_addr_hash(text.c_str(), 443, hash);
    std::vector<int> ports;
    (void)lm_extraports(text.c_str(), 0, 511, ports);
    std::vector<int> codes;
    (void)lm_check2codes(text.c_str(), 64, codes);
    return 0;
}
