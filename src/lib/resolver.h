// The system resolver, asked for one name or one address at a time; the
// lookup pool (lookup_pool.h) runs many of these side by side.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "lib/addrs.h"

struct addrinfo;

namespace lbsnap {

// The first address the resolver gives for a name, or nullopt. Called from
// several threads at once.
using ForwardLookup = std::function<std::optional<lm_addr>(const char* name)>;
// The host name of an address, or nullopt when it has none. Called from
// several threads at once.
using ReverseLookup = std::function<std::optional<std::string>(const lm_sockaddr&)>;

// The system resolver's.
std::optional<lm_addr> resolver_forward_lookup(const char* name);
// The address of one resolver answer; none for a family or an address length
// the tool does not handle, which then counts as no answer.
std::optional<lm_addr> answer_address(const addrinfo& ai);
std::optional<std::string> resolver_reverse_lookup(const lm_sockaddr& sa);

}  // namespace lbsnap
