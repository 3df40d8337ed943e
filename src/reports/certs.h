// Certificate reports.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "reports/report_context.h"
#include "store/text.h"

namespace lbsnap {

// Calls f for each name of a blank- or tab-separated certificate list; runs
// of separators count once. The model's text is left as it is.
template <typename F>
void for_each_name(std::string_view list, F f) {
    constexpr std::string_view seps = " \t";
    std::size_t pos = list.find_first_not_of(seps);
    while (pos != std::string_view::npos) {
        std::size_t end = list.find_first_of(seps, pos);
        f(list.substr(pos, end == std::string_view::npos ? end : end - pos));
        if (end == std::string_view::npos) break;
        pos = list.find_first_not_of(seps, end);
    }
}

int isself(const Ctx& c, const char* certfile);

void oldcertname(Ctx& c, const bahd_config_t& cur, bool isfips);
void print_certs(Ctx& c, const bahd_config_t& cur, bool clientcert);
void print_reenc(Ctx& c, const bahd_config_t& cur, const char* certfile);
void get_addlist(Ctx& c, const bahd_config_t& cur, const char* cert);
void get_selfsigned(Ctx& c, const bahd_config_t& cur);

// One certificate name and the VSs using it, in list order.
struct CertUsers {
    const char* certname = nullptr;
    int nbahds = 0;
    std::vector<const bahd_config_t*> bahds;
};

// The grouping of VSs by certificate name for one command.
class CertList {
public:
    void certname(const bahd_config_t& cur, bool clientcert);
    void print_certname(Ctx& c, const char* certfile) const;

private:
    void add(const bahd_config_t& cur, const char* key, bool derived);

    std::vector<CertUsers> cert_users_;
    std::unordered_map<std::string_view, std::size_t> by_name_;
    TextArena derived_names_;
};

// The count and the two lists that -Q, -q and -I report.
struct CertCounts {
    int NADDRS = 0;
    std::optional<std::string> dellist;
    std::optional<std::string> servlist;

    void add_clist(const bahd_config_t& cur);
};

void get_certlists(Ctx& c, CertCounts& counts, const bahd_config_t& cur, const char* cert,
                   bool reenc);
void get_3rdcertlists(CertCounts& counts, const bahd_config_t& cur, const char* cert);

}  // namespace lbsnap
