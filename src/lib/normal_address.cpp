// An address as users and real-server lines write it.
#include "lib/normal_address.h"

#include "lib/config_int.h"

namespace lbsnap {

std::optional<std::string_view> normal_address(const char* text, int* port, AddrText& buf,
                                               lm_addr* addr) {
    *port = 0;
    if (addr) *addr = lm_addr{};
    if (text[0] == '#') {
        *port = config_int(text + 1);
        return std::string_view(text);
    }
    lm_sockaddr sa{};
    if (!lm_str2addr(&sa, text)) return std::nullopt;
    *port = lm_addrport(sa);
    lm_addr a{};
    lm_unmapaddr(&a, sa);
    if (addr) *addr = a;
    // A parsed address is always IPv4 or IPv6, which print.
    if (!lm_format_addr(a, buf.data())) buf[0] = '\0';
    return std::string_view(buf.data());
}

}  // namespace lbsnap
