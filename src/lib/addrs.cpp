#include "lib/addrs.h"

#include <arpa/inet.h>
#include <nettle/sha2.h>
#include <nettle/version.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "lib/config_int.h"
#include "lib/line_read.h"
#include "lib/sysroot.h"

namespace lbsnap {

namespace {

lm_addr zero_addr(lm_family_t af) {
    lm_addr a;
    a.af = af;
    return a;
}

// The largest port number.
constexpr long kMaxPort = 65535;
// A VS port written as a number lies in this range.
constexpr long kMinVsPort = 2;
constexpr long kMaxVsPort = kMaxPort - 1;
// An extra port starts here.
constexpr long kMinExtraPort = 3;
// The HTTP status codes a health check may expect.
constexpr long kMinCheckCode = 300;
constexpr long kMaxCheckCode = 599;

// PORT after its separator: "*" alone, or a strtol-style decimal number that
// runs to the end and lies in kMinVsPort..kMaxVsPort. -1 when refused.
int parse_port(const char* p) {
    if (p[0] == '*' && p[1] == '\0') return kWildcardPort;
    if (*p == '\0') return -1;
    // config_int reads as strtol does and clamps what does not fit, which
    // is out of the port range either way.
    const char* end = nullptr;
    const int v = config_int(p, &end);
    if (end == p || *end != '\0') return -1;
    if (v < kMinVsPort || v > kMaxVsPort) return -1;
    return v;
}

// inet_pton needs the part alone, NUL-terminated. No address text is this
// long, so a longer part is no address either.
constexpr std::size_t kAddrPartMax = 63;

template <class Addr>
bool parse_part(int af, std::string_view text, Addr* out) {
    if (text.size() > kAddrPartMax) return false;
    char part[kAddrPartMax + 1];
    text.copy(part, text.size());
    part[text.size()] = '\0';
    return inet_pton(af, part, out) == 1;
}

// As inet_pton(AF_INET) reads it: four decimal parts of 0 to 255, none
// with a leading zero, and nothing else. Done here because every real
// server's address passes this way.
bool parse_v4(std::string_view text, in_addr* out) {
    constexpr unsigned kMaxPart = 255;
    unsigned char bytes[sizeof(in_addr)];
    std::size_t parts = 0, digits = 0;
    unsigned value = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (digits > 0 && value == 0) return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > kMaxPart) return false;
            ++digits;
        } else if (c == '.' && digits > 0 && parts < sizeof bytes - 1) {
            bytes[parts++] = static_cast<unsigned char>(value);
            value = 0;
            digits = 0;
        } else {
            return false;
        }
    }
    if (parts != sizeof bytes - 1 || digits == 0) return false;
    bytes[parts] = static_cast<unsigned char>(value);
    std::memcpy(out, bytes, sizeof bytes);
    return true;
}
bool parse_v6(std::string_view text, in6_addr* out) { return parse_part(AF_INET6, text, out); }

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// An IPv6 address as hex digits, two per byte.
constexpr std::size_t kHexV6Len = 2 * sizeof(in6_addr);

// Exactly kHexV6Len hex digits, most significant byte first.
bool parse_hex_v6(std::string_view text, in6_addr* out) {
    if (text.size() != kHexV6Len) return false;
    for (std::size_t i = 0; i < sizeof(in6_addr); ++i) {
        int hi = hex_value(text[2 * i]);
        int lo = hex_value(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out->s6_addr[i] = static_cast<unsigned char>(hi << 4 | lo);
    }
    return true;
}

int set_v4(lm_sockaddr* a, const in_addr& addr, int port) {
    std::memset(a, 0, sizeof *a);
    a->sin.sin_family = AF_INET;
    a->sin.sin_addr = addr;
    a->sin.sin_port = htons(static_cast<std::uint16_t>(port));
    return 1;
}

int set_v6(lm_sockaddr* a, const in6_addr& addr, int port) {
    std::memset(a, 0, sizeof *a);
    a->sin6.sin6_family = AF_INET6;
    a->sin6.sin6_addr = addr;
    a->sin6.sin6_port = htons(static_cast<std::uint16_t>(port));
    return 1;
}

// "[v6]", "[v6]+PORT" or "[v6]:PORT".
int parse_bracketed(lm_sockaddr* a, const char* buf) {
    const char* close = std::strchr(buf, ']');
    if (!close) return 0;
    in6_addr v6;
    if (!parse_v6(std::string_view(buf + 1, close - buf - 1), &v6)) return 0;
    int port = 0;
    if (close[1] == '+' || close[1] == ':') {
        port = parse_port(close + 2);
        if (port < 0) return 0;
    } else if (close[1] != '\0') {
        return 0;
    }
    return set_v6(a, v6, port);
}

}  // namespace

const lm_addr lm_v4_zero_addr = zero_addr(AF_INET);
const lm_addr lm_v6_zero_addr = zero_addr(AF_INET6);

int lm_str2addr(lm_sockaddr* a, const char* buf) {
    if (!buf) return 0;
    if (buf[0] == '[') return parse_bracketed(a, buf);

    std::string_view text(buf);
    std::size_t colon = text.find(':');
    std::size_t plus = text.find('+');
    in6_addr v6;
    in_addr v4;

    if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos) {
        // Several colons: IPv6, where a colon never separates a port.
        if (plus == std::string_view::npos) return parse_v6(text, &v6) ? set_v6(a, v6, 0) : 0;
        if (!parse_v6(text.substr(0, plus), &v6)) return 0;
        int port = parse_port(buf + plus + 1);
        return port < 0 ? 0 : set_v6(a, v6, port);
    }
    if (colon == kHexV6Len) {
        if (!parse_hex_v6(text.substr(0, kHexV6Len), &v6)) return 0;
        int port = parse_port(buf + colon + 1);
        return port < 0 ? 0 : set_v6(a, v6, port);
    }
    if (colon != std::string_view::npos) {
        if (!parse_v4(text.substr(0, colon), &v4)) return 0;
        int port = parse_port(buf + colon + 1);
        return port < 0 ? 0 : set_v4(a, v4, port);
    }
    if (text.size() == kHexV6Len) return parse_hex_v6(text, &v6) ? set_v6(a, v6, 0) : 0;
    if (plus != std::string_view::npos) {
        if (!parse_v4(text.substr(0, plus), &v4)) return 0;
        int port = parse_port(buf + plus + 1);
        return port < 0 ? 0 : set_v4(a, v4, port);
    }
    return parse_v4(text, &v4) ? set_v4(a, v4, 0) : 0;
}

int lm_addrport(const lm_sockaddr& a) {
    if (a.sa.sa_family == AF_INET) return ntohs(a.sin.sin_port);
    if (a.sa.sa_family == AF_INET6) return ntohs(a.sin6.sin6_port);
    return 0;
}

int lm_cvtaddr(lm_addr* a, const char* addr) {
    // Most texts are plain dotted quads, which lm_str2addr reads the same
    // way once it has looked for every other form.
    if (addr && parse_v4(addr, &a->ad.v4)) {
        a->af = AF_INET;
        return 1;
    }
    lm_sockaddr sa;
    if (!lm_str2addr(&sa, addr)) return 0;
    a->af = sa.sa.sa_family;
    if (lm_addrport(sa) != 0) return 0;
    if (a->af == AF_INET)
        a->ad.v4 = sa.sin.sin_addr;
    else
        a->ad.v6 = sa.sin6.sin6_addr;
    return 1;
}

void lm_unmapaddr(lm_addr* ret, const lm_sockaddr& ad) {
    *ret = lm_addr{};
    ret->af = ad.sa.sa_family;
    if (ret->af == AF_INET)
        ret->ad.v4 = ad.sin.sin_addr;
    else if (ret->af == AF_INET6)
        ret->ad.v6 = ad.sin6.sin6_addr;
}

lm_family_t lm_family(const char* a) {
    lm_sockaddr sa;
    if (!lm_str2addr(&sa, a)) return 0;
    return sa.sa.sa_family;
}

bool lm_is_v6(const char* a) {
    // lm_str2addr reads IPv6 only in brackets, with colons, or as 32 digits.
    if (a[0] != '[' && !std::strchr(a, ':') && std::strlen(a) != kHexV6Len) return false;
    return lm_family(a) == AF_INET6;
}

int lm_addrcmp(const lm_addr& a, const lm_addr& b) {
    // Ascending sorts put every IPv6 address before every IPv4 address.
    if (a.af != b.af) return b.af - a.af;
    if (a.af == AF_INET) {
        std::uint32_t x = ntohl(a.ad.v4.s_addr);
        std::uint32_t y = ntohl(b.ad.v4.s_addr);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.af == AF_INET6) return std::memcmp(&a.ad.v6, &b.ad.v6, sizeof a.ad.v6);
    return 0;
}

std::string lm_print_addr(const lm_addr& a) {
    if (a.af == AF_INET6) {
        // Appended rather than "[" + text: GCC 12 warns falsely (-Wrestrict)
        // about prepending to a temporary string once optimised.
        std::string bracketed = "[";
        bracketed += lm_print_addr2(a);
        bracketed += ']';
        return bracketed;
    }
    return lm_print_addr2(a);
}

namespace {

// Dotted quad by hand: inet_ntop formats through sprintf, and the reader
// prints every real-server address of a configuration.
char* format_v4(const unsigned char* b, char* p) {
    for (int i = 0; i < 4; ++i) {
        unsigned v = b[i];
        if (i) *p++ = '.';
        if (v >= 100) *p++ = static_cast<char>('0' + v / 100);
        if (v >= 10) *p++ = static_cast<char>('0' + v / 10 % 10);
        *p++ = static_cast<char>('0' + v % 10);
    }
    *p = '\0';
    return p;
}

constexpr int kV6Words = 8;

// The longest run of zero words, two at least (the first of equal ones):
// the one "::" stands for. len 0: none.
struct ZeroRun {
    int base = -1, len = 0;
};

ZeroRun longest_zero_run(const unsigned* words) {
    ZeroRun best, cur;
    for (int i = 0; i <= kV6Words; ++i) {
        if (i < kV6Words && words[i] == 0) {
            if (cur.base < 0) cur = {i, 0};
            ++cur.len;
        } else if (cur.base >= 0) {
            if (cur.len > best.len) best = cur;
            cur = {};
        }
    }
    return best.len >= 2 ? best : ZeroRun{};
}

// As inet_ntop writes an IPv6 address (its form for IPv4-mapped and
// -compatible addresses included), without its sprintf per word.
void format_v6(const unsigned char* b, char* p) {
    unsigned words[kV6Words];
    for (int i = 0; i < kV6Words; ++i) words[i] = b[2 * i] << 8 | b[2 * i + 1];
    const ZeroRun zeros = longest_zero_run(words);
    constexpr unsigned kMappedMark = 0xffff;
    constexpr char kHex[] = "0123456789abcdef";
    for (int i = 0; i < kV6Words; ++i) {
        if (zeros.base >= 0 && i >= zeros.base && i < zeros.base + zeros.len) {
            if (i == zeros.base) *p++ = ':';
            continue;
        }
        if (i) *p++ = ':';
        if (i == 6 && zeros.base == 0 &&
            (zeros.len == 6 || (zeros.len == 5 && words[5] == kMappedMark))) {
            format_v4(b + 12, p);
            return;
        }
        bool started = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned digit = words[i] >> shift & 0xf;
            if (digit || started || shift == 0) {
                *p++ = kHex[digit];
                started = true;
            }
        }
    }
    if (zeros.base >= 0 && zeros.base + zeros.len == kV6Words) *p++ = ':';
    *p = '\0';
}

}  // namespace

const char* lm_format_addr(const lm_addr& a, char* buf) {
    const auto* b = reinterpret_cast<const unsigned char*>(&a.ad);
    if (a.af == AF_INET6)
        format_v6(b, buf);
    else if (a.af == AF_INET)
        format_v4(b, buf);
    else
        return nullptr;
    return buf;
}

std::string lm_print_addr2(const lm_addr& a) {
    char buf[INET6_ADDRSTRLEN];
    if (a.af == AF_INET || a.af == AF_INET6) {
        if (lm_format_addr(a, buf)) return buf;
        return "";
    }
    std::snprintf(buf, sizeof buf, "addr type %d", a.af);
    return buf;
}

int lm_addr_hash(const char* vip, std::uint16_t port, char ret[33]) {
    lm_addr a;
    std::memset(&a.ad, 0, sizeof a.ad);
    if (!lm_cvtaddr(&a, vip)) return 0;

    std::uint8_t data[18];
    std::memcpy(data, &a.ad, 16);
    data[16] = static_cast<std::uint8_t>(port & 0xff);
    data[17] = static_cast<std::uint8_t>(port >> 8);

    sha256_ctx ctx;
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_init(&ctx);
    sha256_update(&ctx, sizeof data, data);
#if NETTLE_VERSION_MAJOR >= 4
    sha256_digest(&ctx, digest);
#else
    sha256_digest(&ctx, sizeof digest, digest);
#endif
    for (int i = 0; i < 16; ++i) std::snprintf(ret + 2 * i, 3, "%02x", digest[i]);
    return 1;
}

namespace {

using PortRange = std::pair<long, long>;

// One token of an extra-port list: N or N-M, numbers as strtol base 0 reads
// them. False on any fault.
bool parse_port_token(const char* tok, PortRange& r) {
    char* end = nullptr;
    long n = std::strtol(tok, &end, 0);
    if (end == tok || n < kMinExtraPort || n > kMaxPort) return false;
    long m = n;
    if (*end != '\0') {
        if (*end != '-') return false;
        const char* mstart = end + 1;
        m = std::strtol(mstart, &end, 0);
        if (end == mstart || *end != '\0' || m <= n || m > kMaxPort) return false;
    }
    r = {n, m};
    return true;
}

}  // namespace

// Ranges are kept as ranges and merged after sorting rather than marked in
// 65,536 flags: every VS of a large configuration may carry a list, and the
// work then stays proportional to the list, not to the port space.
int lm_extraports(const char* src, int check, int max, std::vector<int>& extra) {
    extra.clear();
    std::vector<PortRange> ranges;
    std::string text(src ? src : "");
    char* save = nullptr;
    for (char* tok = strtok_r(text.data(), " \t,", &save); tok;
         tok = strtok_r(nullptr, " \t,", &save)) {
        PortRange r;
        if (!parse_port_token(tok, r)) {
            if (check) std::fprintf(stderr, "Invalid port\n");
            return 0;
        }
        ranges.push_back(r);
    }
    std::sort(ranges.begin(), ranges.end());
    long next = 0;  // lowest port not yet stored
    for (const auto& [n, m] : ranges) {
        for (long p = std::max(n, next); p <= m; ++p) {
            if (static_cast<long>(extra.size()) >= max) {
                if (check) std::fprintf(stderr, "Too many extra ports\n");
                return 0;
            }
            extra.push_back(static_cast<int>(p));
        }
        next = std::max(next, m + 1);
    }
    return 1;
}

std::string lm_extraports_text(const std::vector<int>& extra) {
    // Values outside the port range cannot come from the parser; they are
    // left out.
    std::vector<int> ports;
    ports.reserve(extra.size());
    for (int p : extra)
        if (p >= 0 && p <= kMaxPort) ports.push_back(p);
    std::sort(ports.begin(), ports.end());
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());

    std::string text;
    for (std::size_t i = 0; i < ports.size();) {
        std::size_t j = i;
        while (j + 1 < ports.size() && ports[j + 1] == ports[j] + 1) ++j;
        if (i != 0) text += ',';
        text += std::to_string(ports[i]);
        if (j == i + 1)
            text += ',' + std::to_string(ports[j]);
        else if (j > i + 1)
            text += '-' + std::to_string(ports[j]);
        i = j + 1;
    }
    text += '\n';
    return text;
}

void lm_extraptofile(const std::vector<int>& extra, std::FILE* fp) {
    std::fputs(lm_extraports_text(extra).c_str(), fp);
}

int lm_check2codes(const char* src, std::size_t max, std::vector<int>& list) {
    list.clear();
    int rc = 0;
    std::string text(src ? src : "");
    char* save = nullptr;
    for (char* tok = strtok_r(text.data(), " ", &save); tok && list.size() < max;
         tok = strtok_r(nullptr, " ", &save)) {
        // Read like every other number of the configuration (strtol), but
        // the whole token must be the number.
        char* end = nullptr;
        long v = std::strtol(tok, &end, 10);
        if (end != tok && *end == '\0' && v >= kMinCheckCode && v <= kMaxCheckCode)
            list.push_back(static_cast<int>(v));
        else
            rc = -1;
    }
    return rc;
}

// ---- host-name map ----

namespace {

constexpr std::size_t kMapVipSize = 64;
constexpr std::size_t kMapNameSize = 256;
constexpr std::size_t kMapReadSize = kLineReadMax + 1;  // fgets size: the characters and a NUL

// Later lines overwrite earlier ones, which is what a newest-first list
// search would find.
void add_map_line(std::unordered_map<std::string, std::string>& names, const char* line) {
    const char* nl = std::strchr(line, '\n');
    if (!nl || line[0] == '#') return;  // a partial read, or a comment
    const char* blank = std::strchr(line, ' ');
    if (!blank || blank > nl || blank + 1 == nl) return;
    std::string vip(line, blank);
    std::string name(blank + 1, nl);
    // An address that does not fit is skipped: cut, it could answer a lookup
    // for a different address. A long name is only a label, so it is cut.
    if (vip.size() >= kMapVipSize) return;
    if (name.size() >= kMapNameSize) name.resize(kMapNameSize - 1);
    names.insert_or_assign(std::move(vip), std::move(name));
}

}  // namespace

HostMap HostMap::load() {
    HostMap map;
    std::FILE* fp = std::fopen(sys_path("/tmp/hosts.map").c_str(), "r");
    if (!fp) return map;
    char buf[kMapReadSize];
    while (std::fgets(buf, sizeof buf, fp)) add_map_line(map.names_, buf);
    std::fclose(fp);
    return map;
}

const char* HostMap::name_of(const char* vip, const char* dflt) const {
    if (!vip) return dflt;
    auto it = names_.find(vip);
    return it == names_.end() ? dflt : it->second.c_str();
}

}  // namespace lbsnap
