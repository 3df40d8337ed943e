# Generates a large configuration: awk -v nvs=N -v nrs=R -v nrules=K -f gen_config.awk
# Every tenth VS is a master with two sub-VSs; real-server addresses repeat
# across VSs (shared servers); every VS uses a few rules.
function ip(n) { return sprintf("10.%d.%d.%d", int(n / 65536) % 256, int(n / 256) % 256, n % 256) }
BEGIN {
    if (!nvs) nvs = 20000; if (!nrs) nrs = 10; if (!nrules) nrules = 2000
    print "<CHECKER_ARGS>\nINTERVAL: 10\nTIMEOUT: 5\nRETRY_COUNT: 3\n<END CHECKER_ARGS>"
    for (r = 1; r <= nrules; r++) {
        printf "<RULE>\nID: %d\nNAME: rule%d\nTYPE: %d\nVALUE: /path%d\nHEADER: X-H%d\nREPLACEMENT: r%d\n<END RULE>\n", r, r, r % 6, r, r, r
    }
    id = 0; rsid = 0
    for (v = 0; v < nvs; v++) {
        id++
        vip = sprintf("192.%d.%d.%d", int(v / 65536) % 256, int(v / 256) % 256, v % 256)
        master = (v % 10 == 9)
        printf "<SECTION VS>\nVID: %d\nVIP: %s\nPORT: %d\nPROTO: tcp\nNAME: vs%d\n", id, vip, 80 + v % 3, id
        printf "RULES: %d,%d,0\nREQUESTS: %d\nUSEFORSNAT: 1\nEXTENDEDHEALTH: 1\n", (v % nrules) + 1, ((v * 7) % nrules) + 1, ((v * 3) % nrules) + 1
        printf "ENABLE: 1\nCHECKER_TYPE: http\nCHECKURL: /health/check/status/service-probe/vs%d/index.html?verbose=1&format=plain\nCHECKHOST: www%d.application-frontend.corp.example.com\nCHECKPORT: 80\n", id, id
        printf "CHECKVERSION: 1\nCHECKMINLEN: 0\nIDLETIME: 660\nCACHE: 0\nCOMPRESS: 0\nVERIFY: 0\nTRANSPARENT: 0\n"
        printf "SUBNETORIG: 0\nSERVERINIT: 0\nTLIMIT: 0\nERRCODE: 0\nFORCEL7: 1\nCHECKHEADERS: X-Health-Probe: lbsnap; Accept: text/plain; Cache-Control: no-cache; Connection: close\nCOOKIE: sessid%d\n", id
        if (v % 5 == 0) printf "SSLACCEL: 1\nPERSIST: src\nPTIMEOUT: 300\nCIPHERSET: Default\n"
        if (v % 7 == 0) printf "INTERCEPT: %d\nIRULES: all\nINTERCEPTRULES: base\n", 1 + v % 2
        print "<IPVSADM>"
        printf "-A -t %s:80 -s wlc -p 300\n", vip
        if (master) {
            printf "-a -t %s:80 -r #%d -w 1\n-a -t %s:80 -r #%d -w 1\n", vip, nvs + 2 * v + 1, vip, nvs + 2 * v + 2
        } else {
            for (r = 0; r < nrs; r++) {
                rsid++
                printf "-a -t %s:80 -r %s:8080 -m -w 1 -I %d%s%s\n", vip, ip((v * 3 + r) % (nvs * nrs / 2 + 1)), rsid, (r % 4 == 0 ? " -d host" r ".example" : ""), (r % 3 == 0 ? " -f " (rsid > 1 ? rsid - 1 : 0) : "")
            }
        }
        print "<END>\n<END VS>"
        if (master) {
            for (s = 1; s <= 2; s++) {
                printf "<SECTION VS>\nVID: %d\nVIP: %s\nPORT: 80\nPROTO: tcp\nSLAVE: %d\n<IPVSADM>\n", nvs + 2 * v + s, vip, id
                for (r = 0; r < 3; r++) { rsid++; printf "-a -t %s:80 -r %s:80 -m -I %d\n", vip, ip(rsid), rsid }
                print "<END>\n<END VS>"
            }
        }
    }
}
