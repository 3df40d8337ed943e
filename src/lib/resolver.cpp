#include "lib/resolver.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace lbsnap {

std::optional<lm_addr> resolver_forward_lookup(const char* name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &res) != 0 || res == nullptr) return std::nullopt;
    lm_sockaddr sa{};
    std::memcpy(&sa, res->ai_addr, std::min<std::size_t>(res->ai_addrlen, sizeof sa));
    freeaddrinfo(res);
    lm_addr a;
    lm_unmapaddr(&a, sa);
    return a;
}

std::optional<std::string> resolver_reverse_lookup(const lm_sockaddr& sa) {
    char host[NI_MAXHOST];
    // The IPv6 length serves both families: the platform only checks that
    // the buffer is large enough.
    if (getnameinfo(&sa.sa, sizeof(sockaddr_in6), host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return std::nullopt;
    return std::string(host);
}

}  // namespace lbsnap
