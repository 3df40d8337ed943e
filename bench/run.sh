#!/usr/bin/env bash
# Times every command on two generated configurations, the second twice the
# size of the first: near-linear commands take about twice as long on it.
# usage: bench/run.sh path/to/lbsnap [NVS]
set -eu
bin=$(realpath "$1")
n=${2:-20000}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

awk -v nvs="$n" -v nrs=10 -v nrules=2000 -f "$here/gen_config.awk" > "$work/small.conf"
awk -v nvs=$((2 * n)) -v nrs=10 -v nrules=4000 -f "$here/gen_config.awk" > "$work/large.conf"

# -S and -D are left out: they ask the resolver for every address.
commands=("-v" "--json -v" "-l" "-L" "-X" "-c" "-r" "-R rule5" "-J" "-s" "-N 1.2.3.4" "-z" "-Z x"
          "-m" "-M x" "-Q x" "-I x" "-F 1" "-b 1" "-B 1" "-A 1" "-Y" "-Y 2" "-E" "-j" "-w 1" "-T 10")

seconds() {  # conf args...
  local conf=$1; shift
  local t0 t1
  t0=$(date +%s%N)
  "$bin" -f "$conf" "$@" > /dev/null 2>&1 || true
  t1=$(date +%s%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'
}

printf '%-12s %10s %10s %7s\n' command "${n}VS/s" "$((2 * n))VS/s" ratio
for c in "${commands[@]}"; do
  read -r -a args <<< "$c"
  a=$(seconds "$work/small.conf" "${args[@]}")
  b=$(seconds "$work/large.conf" "${args[@]}")
  printf '%-12s %10.3f %10.3f %7.2f\n' "$c" "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN { print b / (a + 0.0005) }')"
done
