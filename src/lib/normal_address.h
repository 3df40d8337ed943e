// An address as users and real-server lines write it:
// an address text with an optional port, or "#" and a sub-VS number.
#pragma once

#include <netinet/in.h>

#include <array>
#include <optional>
#include <string_view>

#include "lib/addrs.h"

namespace lbsnap {

// Room for the printed form of any address.
using AddrText = std::array<char, INET6_ADDRSTRLEN>;

// The normalised text of `text`: a sub-VS reference as written (a view into
// text; *port gets its number), else the parsed address printed into buf
// (*port gets the written port: 0 for none, 2 for "*"). nullopt when text
// is no address. *addr, if given, gets the address (family 0 for a sub-VS
// reference).
std::optional<std::string_view> normal_address(const char* text, int* port, AddrText& buf,
                                               lm_addr* addr = nullptr);

}  // namespace lbsnap
