// Certificate reports: which VSs use which certificate (-C -z -Z -M -m -Q
// -q -I).
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "lib/addrs.h"
#include "lib/out_printf.h"
#include "lib/sysroot.h"
#include "query/classify.h"
#include "query/derived.h"
#include "reports/certs.h"

namespace lbsnap {

namespace {

bool is_ssl(const bahd_config_t& cur) { return !cur.sslaccel.empty(); }

int count_name(std::string_view list, std::string_view name) {
    int n = 0;
    for_each_name(list, [&](std::string_view s) { n += s == name; });
    return n;
}

bool file_exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// The SSL VSs whose own certificate the server-certificate reports look at.
bool offloading_vs(const bahd_config_t& cur) {
    return !cur.isslave && is_ssl(cur) && !cur.reverse;
}

}  // namespace

int isself(const Ctx& c, const char* certfile) {
    std::string_view cert = certfile ? certfile : "";
    if (cert.empty()) return 1;
    // Only a blank makes a list here: a tab-separated text is tested as one
    // file name.
    if (cert.find(' ') != std::string_view::npos) return 0;
    std::string file(cert);
    if (c.opt.hashsm) return file_exists(sys_path("/tmp/certs/" + file + ".pem")) ? 1 : 0;
    return file_exists(sys_path("/corvane/certs/" + file + ".pem")) ? 0 : 1;
}

void oldcertname(Ctx& c, const bahd_config_t& cur, bool isfips) {
    if (!is_ssl(cur) || lm_family(cur.vip.c_str()) != AF_INET) return;
    out_printf(c.out, "%s%c%d %s\n", cur.vip.c_str(), isfips ? '_' : ',', cur.port,
                 ShownCertfile(cur).c_str());
}

void print_certs(Ctx& c, const bahd_config_t& cur, bool clientcert) {
    if (!is_ssl(cur) || cur.reverse) return;
    if (!clientcert) {
        out_printf(c.out, "%s\n", ShownCertfile(cur).c_str());
    } else if (cur.reencrypt && !cur.clientcertfile.empty()) {
        out_printf(c.out, "%s\n", cur.clientcertfile.c_str());
    }
}

void CertList::certname(const bahd_config_t& cur, bool clientcert) {
    if (!is_ssl(cur) || cur.reverse) return;
    if (clientcert) {
        if (cur.reencrypt && !cur.clientcertfile.empty())
            add(cur, cur.clientcertfile.c_str(), false);
        return;
    }
    const ShownCertfile cert(cur);
    add(cur, cert.c_str(), cert.derived());
}

void CertList::add(const bahd_config_t& cur, const char* key, bool derived) {
    auto it = by_name_.find(key);
    if (it == by_name_.end()) {
        // A derived name is kept here; the others live in the model.
        if (derived) key = derived_names_.keep(key);
        it = by_name_.emplace(key, cert_users_.size()).first;
        cert_users_.push_back(CertUsers{key, 0, {}});
    }
    CertUsers& entry = cert_users_[it->second];
    entry.bahds.push_back(&cur);
    entry.nbahds++;
}

void CertList::print_certname(Ctx& c, const char* certfile) const {
    auto it = by_name_.find(certfile ? certfile : "");
    if (it == by_name_.end()) return;
    const CertUsers& entry = cert_users_[it->second];
    out_printf(c.out, "NADDRS: %d\n", entry.nbahds);
    for (int i = 0; i < entry.nbahds; ++i) {
        const bahd_config_t& vs = *entry.bahds[i];
        out_printf(c.out, "VIP%d: %s\n", i, vs.vip.c_str());
        out_printf(c.out, "PORT%d: %d\n", i, vs.port);
        out_printf(c.out, "VID%d: %d\n", i, vs.id);
        out_printf(c.out, "ADDR%d %s\n", i, pp_vip(vs, true).c_str());
    }
}

void print_reenc(Ctx& c, const bahd_config_t& cur, const char* certfile) {
    if (cur.isslave || !is_ssl(cur)) return;
    if (!cur.reencrypt && !cur.reverse) return;
    if (cur.clientcertfile == std::string_view(certfile ? certfile : "")) return;
    out_printf(c.out, "%d %s\n", cur.id, pp_vip(cur, true).c_str());
}

// The lists below read CERTFILE: as written: an SSL VS without one counts as
// self-signed here, whatever name the other reports show for it.
void get_addlist(Ctx& c, const bahd_config_t& cur, const char* cert) {
    if (!offloading_vs(cur)) return;
    if (!isself(c, cur.certfile.c_str()) && count_name(cur.certfile, cert ? cert : "") > 0) return;
    out_printf(c.out, "%d %s\n", cur.id, pp_vip(cur, false).c_str());
}

void get_selfsigned(Ctx& c, const bahd_config_t& cur) {
    if (!offloading_vs(cur) || !isself(c, cur.certfile.c_str())) return;
    out_printf(c.out, "<br>%s\n", pp_vip(cur, false).c_str());
}

void CertCounts::add_clist(const bahd_config_t& cur) {
    NADDRS++;
    const std::string shown = pp_vip(cur, false);
    const std::string item = std::to_string(cur.id) + " " + shown;
    if (dellist) {
        *dellist += ' ';
        *dellist += item;
    } else {
        dellist = item;
    }
    if (servlist) {
        *servlist += "<br>";
        *servlist += shown;
    } else {
        servlist = shown;
    }
}

void get_certlists(Ctx& c, CertCounts& counts, const bahd_config_t& cur, const char* cert,
                   bool reenc) {
    if (cur.isslave || !is_ssl(cur)) return;
    const std::string_view name = cert ? cert : "";
    if (reenc) {
        if ((cur.reencrypt || cur.reverse) && cur.clientcertfile == name) counts.add_clist(cur);
        return;
    }
    if (cur.reverse || isself(c, cur.certfile.c_str())) return;
    // A list naming the certificate twice counts the VS twice.
    for (int n = count_name(cur.certfile, name); n > 0; --n) counts.add_clist(cur);
}

void get_3rdcertlists(CertCounts& counts, const bahd_config_t& cur, const char* cert) {
    if (!cur.verify_certs || !offloading_vs(cur)) return;
    counts.NADDRS += count_name(*cur.verify_certs, cert ? cert : "");
}

}  // namespace lbsnap
