// Follow selectors: the VSs a VS can follow (-F), the real servers a real
// server can follow (-b) and the real servers that follow one (-B).
#include <algorithm>
#include <string>

#include "lib/out_printf.h"
#include "query/classify.h"
#include "query/lookup.h"
#include "reports/follow.h"
#include "store/l7user.h"

namespace lbsnap {

namespace {

std::string vs_label(const bahd_config_t& vs) { return "VS " + pp_vip(vs, false); }

bool is_ordinary(const bahd_config_t& vs) { return !vs.ismaster && !vs.isslave; }

// How a sub-VS is told apart under its master: its name, else "#" and its
// entry index, else nothing.
std::string subvs_tag(const bahd_config_t& master, const bahd_config_t& sub) {
    if (!sub.name.empty()) return sub.name.str();
    const int idx = subvs_index(master, sub.id);
    if (idx < 0) return std::string();
    std::string ref = "#";  // appended: see lm_print_addr on -Wrestrict
    ref += std::to_string(idx);
    return ref;
}

void print_option(Ctx& c, int rsid, const rs_info_t& me, const rs_info_t& e) {
    out_printf(c.out, "<option value=\"%d/%d\" %s>%s/%d</option>\n", rsid, e.id,
                 e.id == me.rsfollow ? "selected" : "", e.rip.c_str(), e.port);
}

// The options for the entries of one VS that `me` may follow, after the
// group headers that open_group writes before the first of them.
template <typename Open>
void print_candidates(Ctx& c, int rsid, const rs_info_t& me, LoopTest& loops,
                      const bahd_config_t& vs, Open open_group, const char* close) {
    bool opened = false;
    for (const rs_info_t& e : vs.rsinfo) {
        if (loops.refused(e)) continue;
        if (!opened) {
            open_group();
            opened = true;
        }
        print_option(c, rsid, me, e);
    }
    if (opened) out_printf(c.out, "%s\n", close);
}

}  // namespace

int map_persist(const bahd_config_t& vs) {
    if (vs.persist.empty()) return vs.timeout ? kPersistSrc : kPersistNone;
    for (std::size_t i = 0; i < l7_persist_types.size(); ++i)
        if (vs.persist == l7_persist_types[i]) return static_cast<int>(i);
    return -1;
}

int has_src_addr(int mode) {
    switch (mode) {
        case kPersistSrc:
        case kPersistCookieSrc:
        case kPersistActiveCookieSrc:
        case kPersistCookieHashSrc:
        case kPersistSuperSrc: return 1;
        default: return 0;
    }
}

void print_follows(Ctx& c, int followid) {
    const bahd_config_t* me = find_vip_id(c.m, followid);
    if (!me) {
        std::fprintf(c.err, "Unknown follow vip id %d\n", followid);
        return;
    }
    const int p = map_persist(*me);
    if (p <= 0) return;
    // hasv6 is exactly the IPv6 bit of vip_character, without the rest.
    const int v6 = hasv6(*me);
    for (const auto& vp : c.m.bahd) {
        const bahd_config_t& v = *vp;
        if (&v == me || v.isslave) continue;
        if (hasv6(v) != v6) continue;
        const int q = map_persist(v);
        if (q <= 0) continue;
        if (!(has_src_addr(p) && has_src_addr(q)) && p != q) continue;
        lm_addr plain;
        if (!lm_cvtaddr(&plain, v.vip.c_str())) continue;
        out_printf(c.out, "%d %s\n", v.id, vs_ip_val(v).c_str());
    }
}

bool LoopTest::refused(const rs_info_t& candidate) {
    // Only the candidate's own 0 means "follows nobody".
    if (candidate.rsfollow == 0) return false;
    // With `me` following it, the chain from the candidate goes on past `me`
    // at the first real server of the candidate's id: it comes back to the
    // candidate when that is the candidate itself and its chain meets `me`,
    // or comes back to it anyway. No chain comes to a later one of an id.
    const std::optional<RsFollowChains::Chain> chain = chains_.from(candidate);
    return chain && (chain->meets || chain->on_loop);
}

void print_rsfollows(Ctx& c, int rsid) {
    const bahd_config_t* home = nullptr;
    const rs_info_t* me = find_rs_follow(c.m, rsid, &home);
    if (!me || !home->extendedhealth) return;
    out_printf(c.out, "<option value=\"%d/0\" %s>Self</option>\n", rsid,
                 me->rsfollow == 0 ? "selected" : "");
    LoopTest loops(c.m, *me);
    for (const rs_info_t& e : home->rsinfo)
        if (&e != me && !loops.refused(e)) print_option(c, rsid, *me, e);

    for (const auto& vp : c.m.bahd) {
        const bahd_config_t& vs = *vp;
        if (!is_ordinary(vs) || &vs == home) continue;
        print_candidates(
            c, rsid, *me, loops, vs,
            [&] {
                out_printf(c.out, "<optgroup id=vs%d label=\"%s\">\n", vs.id,
                             vs_label(vs).c_str());
            },
            "</optgroup>");
    }

    for (const auto& vp : c.m.bahd) {
        const bahd_config_t& sub = *vp;
        if (!sub.isslave || &sub == home) continue;
        // A sub-VS whose master is missing has no group to go in.
        const bahd_config_t* master = find_vip_id(c.m, sub.isslave);
        if (!master) continue;
        print_candidates(
            c, rsid, *me, loops, sub,
            [&] {
                const std::string outer = vs_label(*master);
                const std::string tag = subvs_tag(*master, sub);
                const std::string inner = tag.empty() ? outer : "SubVs " + tag;
                out_printf(c.out, "<optgroup id=svs%d label=\"%s\">\n", master->id,
                             outer.c_str());
                out_printf(c.out, "<optgroup id=sub%d label=\"%s\">\n", master->id,
                             inner.c_str());
            },
            "</optgroup></optgroup>");
    }
}

void print_hasfollows(Ctx& c, int rsid) {
    const bahd_config_t* home = nullptr;
    const rs_info_t* me = find_rs_follow(c.m, rsid, &home);
    if (!me || !home->extendedhealth) return;
    for (const rs_info_t& e : home->rsinfo)
        if (e.rsfollow == rsid) out_printf(c.out, "%s/%d\n", e.rip.c_str(), e.port);

    // Labels are built only for VSs that have a follower.
    auto print_followers = [&](const bahd_config_t& vs, auto make_label) {
        std::string label;
        for (const rs_info_t& e : vs.rsinfo) {
            if (e.rsfollow != rsid) continue;
            if (label.empty()) label = make_label();
            out_printf(c.out, "%s RS %s/%d\n", label.c_str(), e.rip.c_str(), e.port);
        }
    };
    for (const auto& vp : c.m.bahd)
        if (is_ordinary(*vp) && vp.get() != home)
            print_followers(*vp, [&] { return vs_label(*vp); });

    for (const auto& vp : c.m.bahd) {
        const bahd_config_t& sub = *vp;
        if (!sub.isslave || &sub == home) continue;
        const bahd_config_t* master = find_vip_id(c.m, sub.isslave);
        if (!master) continue;
        print_followers(sub,
                        [&] { return vs_label(*master) + " SubVs " + subvs_tag(*master, sub); });
    }
}

}  // namespace lbsnap
