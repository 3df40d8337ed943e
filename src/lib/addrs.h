// Address values and their text forms, the extra-port and check-code list
// notations, the address hash that names certificate files, and the
// host-name map (/tmp/hosts.map).
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace lbsnap {

// The port written "*" in an address text is held as this number, the
// lowest a port written as a number may have.
inline constexpr int kWildcardPort = 2;

using lm_family_t = std::int32_t;

// An IPv4 or IPv6 address without a port; a plain value.
struct lm_addr {
    lm_family_t af = 0;
    union {
        in_addr v4;
        in6_addr v6;
    } ad{};
};

// Result of parsing text that may carry a port: family, address and the
// port written in the text (0 = none, 2 = "*"), read back with lm_addrport.
union lm_sockaddr {
    sockaddr sa;
    sockaddr_in sin;
    sockaddr_in6 sin6;
};

extern const lm_addr lm_v4_zero_addr;
extern const lm_addr lm_v6_zero_addr;

// 1 if buf is an address, with or without port, in one of the text forms.
int lm_str2addr(lm_sockaddr* a, const char* buf);
// The port of a parsed address (0 when none was written, 2 for "*").
int lm_addrport(const lm_sockaddr& a);
// 1 if addr is an address without port; 0 if it does not parse or has a port.
int lm_cvtaddr(lm_addr* a, const char* addr);
void lm_unmapaddr(lm_addr* ret, const lm_sockaddr& ad);
// AF_INET, AF_INET6, or 0 for text that is not an address (a port is allowed).
lm_family_t lm_family(const char* a);
// lm_family(a) == AF_INET6, without reading texts whose shape rules it out.
bool lm_is_v6(const char* a);
int lm_addrcmp(const lm_addr& a, const lm_addr& b);
// IPv6 in brackets.
std::string lm_print_addr(const lm_addr& a);
// IPv6 bare.
std::string lm_print_addr2(const lm_addr& a);
// The same text into buf (at least INET6_ADDRSTRLEN bytes), for IPv4 and
// IPv6 addresses only; returns buf, or null for another family.
const char* lm_format_addr(const lm_addr& a, char* buf);
// 1 and 32 lower-case hex digits plus NUL in ret; 0 if vip is not an
// address without port (ret untouched).
int lm_addr_hash(const char* vip, std::uint16_t port, char ret[33]);
// Parses an extra-port list into extra (ascending, no repeats, at most max
// entries); with check non-zero, writes its two messages to standard error.
int lm_extraports(const char* src, int check, int max, std::vector<int>& extra);
// Writes the list in its compressed form ("80,443,444,8000-8002") and "\n".
void lm_extraptofile(const std::vector<int>& extra, std::FILE* fp);
// What lm_extraptofile writes.
std::string lm_extraports_text(const std::vector<int>& extra);
// Blank-separated status codes 300..599, at most max of them (further
// tokens are not looked at); 0 if all valid, else -1.
int lm_check2codes(const char* src, std::size_t max, std::vector<int>& list);

// The host-name map of /tmp/hosts.map (under the fixed-path root): address
// text -> name.
class HostMap {
public:
    // A missing or unreadable file is an empty map.
    static HostMap load();
    // The name mapped to vip, or dflt when there is none.
    const char* name_of(const char* vip, const char* dflt) const;

private:
    std::unordered_map<std::string, std::string> names_;
};

}  // namespace lbsnap
