#!/usr/bin/env bash
# Times every command on two generated configurations, 20,000 VSs with 8 real
# servers each and one ten times smaller, against the cost of reading the
# file at all (wc -l); then the start-up figures on a 100-VS and an empty
# configuration against the cost of starting a process (/bin/true).
# Wall times are medians of several runs; peak RSS comes from GNU time.
# usage: bench/run.sh path/to/lbsnap [RUNS]
set -eu
bin=$(realpath "$1")
runs=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

gen() {  # file nvs nrules
  awk -v nvs="$2" -v nrs=8 -v nrules="$3" -f "$here/gen_config.awk" > "$1"
}
gen "$work/large.conf" 20000 2000
gen "$work/small.conf" 2000 200
gen "$work/v100.conf" 100 20
: > "$work/empty.conf"

# -S, -D and -d ask the resolver; their figures come from bench/resolve.sh.
commands=("-v" "--json -v" "-a -v" "-v 1" "-r" "-c" "-s" "-l" "-L" "-N 1.2.3.4" "-R rule5" "-X" "-XX"
          "-C" "-CC" "-z" "-zz" "-zz -Z x" "-Z x" "-z -Z x" "-M x" "-m" "-Q x" "-q x"
          "-F 1" "-T 10" "-b 1" "-B 1" "-A 1" "-Y" "-Y 2" "-E" "-I x" "-J" "-j" "-w 1" "-W 1")

# Median wall time in milliseconds of `runs` runs of a command (output thrown away).
median_ms() {  # runs command...
  local n=$1; shift
  local t=() i t0 t1
  "$@" > /dev/null 2>&1 || true  # warm-up: file in the page cache
  for ((i = 0; i < n; i++)); do
    t0=$EPOCHREALTIME
    "$@" > /dev/null 2>&1 || true
    t1=$EPOCHREALTIME
    t+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) * 1000 }')")
  done
  printf '%s\n' "${t[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

peak_mb() {  # command...
  /usr/bin/time -f %M -o "$work/rss" "$@" > /dev/null 2>&1 || true
  awk '{ printf "%.1f", $1 / 1024 }' "$work/rss"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

size_mb() { awk -v s="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", s / 1048576 }'; }
bound_mb() { awk -v s="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", 3 * s / 1048576 + 8 }'; }

floor_small=$(median_ms "$runs" wc -l "$work/small.conf")
floor_large=$(median_ms "$runs" wc -l "$work/large.conf")
printf 'small: 2,000 VSs x 8, %s MiB, %s lines; large: 20,000 VSs x 8, %s MiB, %s lines\n' \
  "$(size_mb "$work/small.conf")" "$(wc -l < "$work/small.conf")" \
  "$(size_mb "$work/large.conf")" "$(wc -l < "$work/large.conf")"
printf 'file-read floor (wc -l): small %s ms, large %s ms\n' "$floor_small" "$floor_large"
printf 'peak RSS bound on the large file (3 x size + 8 MiB): %s MiB\n\n' "$(bound_mb "$work/large.conf")"

printf '%-10s %9s %9s %8s %7s %9s\n' command "small ms" "large ms" "x floor" growth "peak MiB"
for c in "${commands[@]}"; do
  read -r -a args <<< "$c"
  a=$(median_ms "$runs" "$bin" -f "$work/small.conf" "${args[@]}")
  b=$(median_ms "$runs" "$bin" -f "$work/large.conf" "${args[@]}")
  printf '%-10s %9s %9s %8s %7s %9s\n' "$c" "$a" "$b" "$(ratio "$b" "$floor_large")" \
    "$(ratio "$b" "$a")" "$(peak_mb "$bin" -f "$work/large.conf" "${args[@]}")"
done

startup_runs=$((runs * 4 + 1))
floor_true=$(median_ms "$startup_runs" /bin/true)
v100=$(median_ms "$startup_runs" "$bin" -f "$work/v100.conf" -v)
empty=$(median_ms "$startup_runs" "$bin" -f "$work/empty.conf" -v)
printf '\nprocess-start floor (/bin/true): %s ms\n' "$floor_true"
printf '100-VS configuration (%s KB), -v: %s ms, %sx the floor\n' \
  "$(( $(stat -c %s "$work/v100.conf") / 1024 ))" "$v100" "$(ratio "$v100" "$floor_true")"
printf 'empty configuration, -v: %s ms, %sx the floor\n' "$empty" "$(ratio "$empty" "$floor_true")"
