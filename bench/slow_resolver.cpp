// A stand-in system resolver for the lookup benchmark and the tests of the
// lookups, loaded with LD_PRELOAD: every lookup waits a fixed time and then
// gives an answer that depends only on what was asked, so runs can be
// compared byte for byte.
//
//   BENCH_RESOLVER_DELAY_MS  wait per lookup (default 50)
//   BENCH_RESOLVER_NEVER     a lookup whose request ("forward NAME",
//                            "reverse ADDRESS") contains this text never
//                            returns, as with a resolver that does not answer
//   BENCH_RESOLVER_SERIAL    when set, lookups wait for each other (one at a time)
//   BENCH_RESOLVER_ASKED     file that gets one line per lookup
//   BENCH_RESOLVER_LOG       file that gets the system-log lines (else dropped)
//
// Forward: "10-1-2-3.anything" resolves to 10.1.2.3, any other name fails.
// Reverse: an IPv4 address with an even last byte has the name
// "h-10-1-2-4.bench.example"; other addresses have none.
#include <arpa/inet.h>
#include <netdb.h>
#include <syslog.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

std::mutex one_at_a_time;
std::mutex files;

const char* env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

void append_line(const char* var, const std::string& line) {
    const char* path = env(var);
    if (!path) return;
    std::lock_guard<std::mutex> lock(files);
    if (std::FILE* f = std::fopen(path, "a")) {
        std::fputs(line.c_str(), f);
        std::fclose(f);
    }
}

[[noreturn]] void never_answer() {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

// Records the request and waits as long as a slow resolver would.
void ask(const std::string& what) {
    append_line("BENCH_RESOLVER_ASKED", what + "\n");
    if (const char* never = env("BENCH_RESOLVER_NEVER"); never && what.find(never) != what.npos)
        never_answer();
    const char* ms = env("BENCH_RESOLVER_DELAY_MS");
    const auto delay = std::chrono::milliseconds(ms ? std::atoi(ms) : 50);
    if (env("BENCH_RESOLVER_SERIAL")) {
        std::lock_guard<std::mutex> lock(one_at_a_time);
        std::this_thread::sleep_for(delay);
    } else {
        std::this_thread::sleep_for(delay);
    }
}

struct Answer {
    addrinfo ai;
    sockaddr_in sin;
};

void log_line(int priority, const char* fmt, va_list ap) {
    char line[2048];
    std::vsnprintf(line, sizeof line, fmt, ap);
    append_line("BENCH_RESOLVER_LOG", "<" + std::to_string(priority) + "> " + line);
}

}  // namespace

extern "C" {

int getaddrinfo(const char* name, const char*, const addrinfo*, addrinfo** res) {
    const std::string asked = name ? name : "";
    ask("forward " + asked);
    std::string label = asked.substr(0, asked.find('.'));
    for (char& ch : label) ch = ch == '-' ? '.' : ch;
    in_addr a{};
    if (inet_pton(AF_INET, label.c_str(), &a) != 1) return EAI_NONAME;
    auto* ans = static_cast<Answer*>(std::calloc(1, sizeof(Answer)));
    if (!ans) return EAI_MEMORY;
    ans->sin.sin_family = AF_INET;
    ans->sin.sin_addr = a;
    ans->ai.ai_family = AF_INET;
    ans->ai.ai_socktype = SOCK_STREAM;
    ans->ai.ai_addrlen = sizeof ans->sin;
    ans->ai.ai_addr = reinterpret_cast<sockaddr*>(&ans->sin);
    *res = &ans->ai;
    return 0;
}

// Every answer handed out is one block that starts with its addrinfo.
void freeaddrinfo(addrinfo* ai) noexcept { std::free(ai); }

int getnameinfo(const sockaddr* sa, socklen_t, char* host, socklen_t hostlen, char*, socklen_t,
                int) {
    char text[INET6_ADDRSTRLEN] = "";
    const void* addr = sa->sa_family == AF_INET
                           ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(sa)->sin_addr)
                           : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr);
    inet_ntop(sa->sa_family, addr, text, sizeof text);
    ask(std::string("reverse ") + text);
    const unsigned char* bytes = static_cast<const unsigned char*>(addr);
    if (sa->sa_family != AF_INET || bytes[3] % 2 != 0) return EAI_NONAME;
    std::string name = text;
    for (char& ch : name) ch = ch == '.' ? '-' : ch;
    name = "h-" + name + ".bench.example";
    if (name.size() >= hostlen) return EAI_OVERFLOW;
    std::memcpy(host, name.c_str(), name.size() + 1);
    return 0;
}

void syslog(int priority, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    log_line(priority, fmt, ap);
    va_end(ap);
}

// What a program built with _FORTIFY_SOURCE (as distributions build it)
// calls for syslog.
void __syslog_chk(int priority, int, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    log_line(priority, fmt, ap);
    va_end(ap);
}

}  // extern "C"
