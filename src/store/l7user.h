// Vocabulary of rules and VSs: names indexed by the codes stored in the model.
#pragma once

#include <array>

#include "store/model.h"

namespace lbsnap {

inline constexpr std::array<const char*, kMatchTypeCount> l7_match_types = {
    "regex", "prefix", "postfix", "regex+host", "prefix+host", "postfix+host"};

inline constexpr std::array<const char*, kRuleTypeCount> l7_rule_types = {
    "content", "addheader", "delheader", "replaceheader", "replaceuri", "replacebody"};

// Persistence modes: the index into l7_persist_types.
enum PersistMode : int {
    kPersistNone,
    kPersistSrc,
    kPersistCookie,
    kPersistCookieSrc,
    kPersistActiveCookie,
    kPersistActiveCookieSrc,
    kPersistCookieHash,
    kPersistCookieHashSrc,
    kPersistUrl,
    kPersistQueryHash,
    kPersistHost,
    kPersistHeader,
    kPersistAuth,
    kPersistUa,
    kPersistSuper,
    kPersistSuperSrc,
    kPersistModeCount
};

inline constexpr std::array<const char*, kPersistModeCount> l7_persist_types = {
    "none",        "src",        "cookie", "cookie-src", "active-cookie", "active-cook-src",
    "cookie-hash", "cookie-hash-src", "url", "query-hash", "host", "header",
    "auth",        "ua",         "super",  "super-src"};

}  // namespace lbsnap
