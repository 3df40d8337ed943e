#!/usr/bin/env bash
# Times -S and -D against a resolver that takes 50 ms per answer (the stand-in
# resolver library, loaded with LD_PRELOAD), once with answers one at a time
# (as a tool asking in turn would see them) and once as the tool asks. Both
# runs must print, and log, exactly what a run with instant answers does,
# and ask each address or name once.
# usage: bench/resolve.sh path/to/lbsnap path/to/libslow_resolver.so
set -eu
bin=$(realpath "$1")
shim=$(realpath "$2")
delay_ms=50
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 50 VSs with 8 real servers each: 450 distinct addresses for -S. The first
# four real servers of each VS carry a DNS name, 200 distinct names for -D:
# one resolves to the server's own address, two elsewhere, one not at all.
awk 'BEGIN {
  id = 0
  for (v = 1; v <= 50; v++) {
    printf "<SECTION VS>\nVID: %d\nVIP: 172.16.0.%d\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n", v, v
    for (r = 0; r < 8; r++) {
      id++
      rip = sprintf("10.1.%d.%d", v, r)
      if (r == 0) dns = sprintf("10-1-%d-%d.rs%d.bench.example", v, r, id)
      else if (r < 3) dns = sprintf("10-2-%d-%d.rs%d.bench.example", v, r, id)
      else if (r == 3) dns = sprintf("unknown.rs%d.bench.example", id)
      printf "-a -t 172.16.0.%d:80 -r %s:80 -m -I %d%s\n", v, rip, id, (r < 4 ? " -d " dns : "")
    }
    print "<END>\n<END VS>"
  }
}' > "$work/bahd.conf"

run() {  # label delay_ms serial option
  local label=$1
  rm -f "$work/asked.$label" "$work/log.$label"
  local t0 t1
  t0=$(date +%s%N)
  LD_PRELOAD=$shim BENCH_RESOLVER_DELAY_MS=$2 BENCH_RESOLVER_SERIAL=$3 \
    BENCH_RESOLVER_ASKED="$work/asked.$label" BENCH_RESOLVER_LOG="$work/log.$label" \
    "$bin" -f "$work/bahd.conf" "$4" > "$work/out.$label"
  t1=$(date +%s%N)
  touch "$work/log.$label" "$work/asked.$label"
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", (b - a) / 1e9 }'
}

same_as_instant() {  # label
  cmp -s "$work/out.instant" "$work/out.$1" && cmp -s "$work/log.instant" "$work/log.$1" || {
    echo "resolve.sh: $1 run printed or logged something else than the instant run" >&2
    exit 1
  }
}

printf '%-7s %8s %14s %10s %10s\n' command lookups one-at-a-time/s pool/s target/s
for option in -S -D; do
  run instant 0 "" "$option" > /dev/null
  lookups=$(wc -l < "$work/asked.instant")
  if [ -n "$(sort "$work/asked.instant" | uniq -d)" ]; then
    echo "resolve.sh: $option asked the same address or name twice" >&2
    exit 1
  fi
  serial=$(run serial "$delay_ms" 1 "$option")
  same_as_instant serial
  pool=$(run pool "$delay_ms" "" "$option")
  same_as_instant pool
  target=$([ "$option" = -S ] && echo 1.2 || echo 0.65)
  printf '%-7s %8d %14s %10s %10s\n' "$option" "$lookups" "$serial" "$pool" "$target"
done
