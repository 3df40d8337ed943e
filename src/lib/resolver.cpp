#include "lib/resolver.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cstring>

namespace lbsnap {

std::optional<lm_addr> answer_address(const addrinfo& ai) {
    if (!ai.ai_addr) return std::nullopt;
    const sa_family_t family = ai.ai_addr->sa_family;
    lm_sockaddr sa{};
    const std::size_t need = family == AF_INET    ? sizeof sa.sin
                             : family == AF_INET6 ? sizeof sa.sin6
                                                  : 0;
    if (need == 0 || ai.ai_addrlen < need) return std::nullopt;
    std::memcpy(&sa, ai.ai_addr, need);
    lm_addr a;
    lm_unmapaddr(&a, sa);
    return a;
}

std::optional<lm_addr> resolver_forward_lookup(const char* name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &res) != 0 || res == nullptr) return std::nullopt;
    const std::optional<lm_addr> a = answer_address(*res);
    freeaddrinfo(res);
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
