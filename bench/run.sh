#!/usr/bin/env bash
# Times every command on two pairs of generated configurations, 20,000 VSs
# with 8 real servers each and one ten times smaller: the uniform pair of
# gen_config.awk, and the varied pair of gen_varied.py, which looks like
# what appliances hold. Each figure is set against the cost of reading the
# same file at all (wc -l); the start-up figures on 100-VS and empty
# configurations against the cost of starting a process (/bin/true). Then
# each figure is judged against its target. Wall times are medians of
# several runs; each ratio is the median of the ratios of runs made in
# turns with its yardstick, so both meet the machine at the same speed;
# peak RSS comes from GNU time.
# usage: bench/run.sh path/to/lbsnap [RUNS]   (RUNS: 7 by default)
#        bench/run.sh path/to/lbsnap --smoke  (every command once on the
#                                              100-VS files; no verdicts)
set -eu
bin=$(realpath "$1")
smoke=0
runs=7
case "${2:-}" in
  --smoke) smoke=1 ;;
  "") ;;
  *) runs=$2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The varied files come from a fixed seed, so every run times the same bytes.
varied_seed=26

gen() {  # file nvs nrules
  awk -v nvs="$2" -v nrs=8 -v nrules="$3" -f "$here/gen_config.awk" > "$1"
}
gen_varied() {  # file nvs
  python3 "$here/gen_varied.py" --vs "$2" --seed "$varied_seed" > "$1"
}

# -S, -D and -d ask the resolver; their figures come from bench/resolve.sh.
# "rule5" and "x" stand for the rule numbered 5 and the first certificate of
# the file at hand, where it has them (see words).
commands=("-v" "--json -v" "-a -v" "-v 1" "-r" "-c" "-s" "-l" "-L" "-N 1.2.3.4" "-R rule5" "-X" "-XX"
          "-C" "-CC" "-z" "-zz" "-zz -Z x" "-Z x" "-z -Z x" "-M x" "-m" "-Q x" "-q x"
          "-F 1" "-T 10" "-b 1" "-B 1" "-A 1" "-Y" "-Y 2" "-E" "-I x" "-J" "-j" "-w 1" "-W 1")

# Targets: times as multiples of the file-read floor of the same file.
target_floor() {  # command
  case "$1" in
    -c) echo 10 ;;
    -v | "--json -v" | "-a -v") echo 20 ;;
    *) echo 12 ;;
  esac
}
target_growth=11
target_startup=2.5
target_diff=2.5
target_check=2

# Median wall time in milliseconds of `runs` runs of a command (output thrown away).
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

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
  median "${t[@]}"
}

# A command timed in turns with its yardstick (yardstick, command, ...): a
# shared machine's speed drifts within a run by more than the targets'
# margins, and a pair meets it at one speed. Sets med_ms, the command's
# median time, and med_x, the median of the pairs' ratios.
paired() {  # runs "yardstick words" command...
  local n=$1 yard i t0 t1 t2 ms=() xs=()
  read -r -a yard <<< "$2"
  shift 2
  "${yard[@]}" > /dev/null 2>&1 || true  # warm-up: files in the page cache
  "$@" > /dev/null 2>&1 || true
  for ((i = 0; i < n; i++)); do
    t0=$EPOCHREALTIME
    "${yard[@]}" > /dev/null 2>&1 || true
    t1=$EPOCHREALTIME
    "$@" > /dev/null 2>&1 || true
    t2=$EPOCHREALTIME
    ms+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN { printf "%.3f", (b - a) * 1000 }')")
    xs+=("$(awk -v a="$t0" -v b="$t1" -v c="$t2" 'BEGIN { printf "%.3f", (c - b) / (b - a) }')")
  done
  med_ms=$(median "${ms[@]}")
  med_x=$(awk -v x="$(median "${xs[@]}")" 'BEGIN { printf "%.1f", x }')
}

peak_mb() {  # command...
  /usr/bin/time -f %M -o "$work/rss" "$@" > /dev/null 2>&1 || true
  # A command that ends with a status other than 0 (--diff with
  # differences) makes time write a line about it first.
  tail -n 1 "$work/rss" | awk '{ printf "%.1f", $1 / 1024 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

size_mb() { awk -v s="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", s / 1048576 }'; }
bound_mb() { awk -v s="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", 3 * s / 1048576 + 8 }'; }
target_mb() { awk -v s="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", 1.5 * s / 1048576 + 8 }'; }
distinct_keys() { grep -oE '^[A-Za-z_0-9]+:' "$1" | sort -u | wc -l; }
thousands() { sed -E ':a; s/([0-9])([0-9]{3})($|[^0-9])/\1,\2\3/; ta'; }

# judged becomes "met" or "NOT met" (value <= limit, or < with "lt"), and
# the tally counts it. Not run in a subshell, so the tally survives.
met=0
missed=0
judge() {  # value limit [lt]
  if awk -v v="$1" -v l="$2" -v lt="${3:-}" 'BEGIN { exit !(lt ? v < l : v <= l) }'; then
    judged=met
    met=$((met + 1))
  else
    judged="NOT met"
    missed=$((missed + 1))
  fi
}

# The rule numbered 5 and the first certificate named in a file.
names_of() {  # file
  rule_name=$(awk '/^<RULE>/ { id = "" } /^ID:/ { id = $2 } /^NAME:/ && id == 5 { print $2; exit }' "$1")
  cert_name=$(awk '/^CERTFILE:/ { print $2; exit }' "$1")
}

# The words of a command, with "rule5" and "x" replaced by the names the
# last names_of found, where it found them.
words() {  # command
  local w x
  read -r -a w <<< "$1"
  args=()
  for x in "${w[@]}"; do
    case "$x" in
      rule5) args+=("${rule_name:-$x}") ;;
      x) args+=("${cert_name:-$x}") ;;
      *) args+=("$x") ;;
    esac
  done
}

# Every command on the small and the large file, with its verdicts.
table() {  # small large
  local small=$1 large=$2 floor_small floor_large c a b x g rss limit v_floor v_growth
  floor_small=$(median_ms "$runs" wc -l "$small")
  floor_large=$(median_ms "$runs" wc -l "$large")
  printf 'file-read floor (wc -l): small %s ms, large %s ms\n' "$floor_small" "$floor_large"
  printf 'peak RSS bound on the large file (3 x size + 8 MiB): %s MiB; target (1.5 x size + 8 MiB): %s MiB\n\n' \
    "$(bound_mb "$large")" "$(target_mb "$large")"
  printf '%-10s %9s %9s %8s %7s %9s   %-13s %-11s %s\n' command "small ms" "large ms" "x floor" growth \
    "peak MiB" "floor target" "growth<=$target_growth" "RSS target"
  names_of "$small"
  for c in "${commands[@]}"; do
    words "$c"
    a=$(median_ms "$runs" "$bin" -f "$small" "${args[@]}")
    paired "$runs" "wc -l $large" "$bin" -f "$large" "${args[@]}"
    b=$med_ms
    x=$med_x
    g=$(ratio "$b" "$a")
    rss=$(peak_mb "$bin" -f "$large" "${args[@]}")
    limit=$(target_floor "$c")
    judge "$x" "$limit"; v_floor=$judged
    judge "$g" "$target_growth"; v_growth=$judged
    judge "$rss" "$(target_mb "$large")" lt
    printf '%-10s %9s %9s %8s %7s %9s   %-13s %-11s %s\n' "$c" "$a" "$b" "$x" "$g" "$rss" \
      "<=$limit $v_floor" "$v_growth" "$judged"
  done
}

# -v on a small configuration against starting a process at all.
startup() {  # label file [judged]
  local t x
  paired "$startup_runs" /bin/true "$bin" -f "$2" -v
  t=$med_ms
  x=$med_x
  printf '%s, -v: %s ms, %sx the floor' "$1" "$t" "$x"
  if [ -n "${3:-}" ]; then
    judge "$x" "$target_startup"
    printf ' (target <= %sx: %s)' "$target_startup" "$judged"
  fi
  printf '\n'
}

kb() { echo $(($(stat -c %s "$1") / 1024)); }

# Every command once on the 100-VS files: both must load and no command may
# die by a signal. The times are only for the eye: no verdicts.
smoke_test() {
  local fails=0 c f rc t0 t1 row
  gen "$work/v100.conf" 100 20
  gen_varied "$work/varied100.conf" 100
  for f in "$work/v100.conf" "$work/varied100.conf"; do
    if ! "$bin" -f "$f" -c > /dev/null; then
      echo "$(basename "$f") does not load" >&2
      fails=$((fails + 1))
    fi
  done
  printf '%-10s %12s %12s\n' command "uniform ms" "varied ms"
  for c in "${commands[@]}"; do
    row=$(printf '%-10s' "$c")
    for f in "$work/v100.conf" "$work/varied100.conf"; do
      names_of "$f"
      words "$c"
      rc=0
      t0=$EPOCHREALTIME
      "$bin" -f "$f" "${args[@]}" > /dev/null 2>&1 || rc=$?
      t1=$EPOCHREALTIME
      row+=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf " %12.3f", (b - a) * 1000 }')
      if ((rc > 128)); then
        echo "$c on $(basename "$f"): killed by signal $((rc - 128))" >&2
        fails=$((fails + 1))
      fi
    done
    echo "$row"
  done
  ((fails == 0))
}

# --diff of the large varied file and a copy with one VS in a hundred
# changed, against loading both (-c of each); its peak RSS against the two
# loads' peaks together.
diff_figures() {
  local old=$work/varied_large.conf new=$work/varied_changed.conf t both x rss loads
  awk '/^<SECTION VS>/ { n++ } /^<END VS>/ && n % 100 == 1 { print "CONNLIMIT: 4242" } { print }' \
    "$old" > "$new"
  t=$(median_ms "$runs" "$bin" --diff "$old" "$new")
  both=$(median_ms "$runs" sh -c '"$0" -c -f "$1"; "$0" -c -f "$2"' "$bin" "$old" "$new")
  x=$(ratio "$t" "$both")
  judge "$x" "$target_diff"
  printf '\n--diff of the large varied file and a copy with 1%% of its VSs changed: %s ms, %sx -c of both (%s ms; target <= %sx: %s)\n' \
    "$t" "$x" "$both" "$target_diff" "$judged"
  rss=$(peak_mb "$bin" --diff "$old" "$new")
  loads=$(awk -v a="$(peak_mb "$bin" -c -f "$old")" -v b="$(peak_mb "$bin" -c -f "$new")" 'BEGIN { printf "%.1f", a + b }')
  judge "$rss" "$(awk -v l="$loads" 'BEGIN { printf "%.1f", 1.1 * l }')"
  printf '  peak RSS %s MiB, the two loads %s MiB (target <= 1.1x: %s)\n' "$rss" "$loads" "$judged"
}

# --check of each large file against loading it for a report (-c).
check_figures() {
  local f t load x
  for f in large varied_large; do
    load=$(median_ms "$runs" "$bin" -c -f "$work/$f.conf")
    paired "$runs" "$bin -c -f $work/$f.conf" "$bin" --check -f "$work/$f.conf"
    t=$med_ms
    x=$med_x
    judge "$x" "$target_check"
    printf '\n--check of %s.conf: %s ms, %sx -c (%s ms; target <= %sx: %s)' "$f" "$t" "$x" "$load" \
      "$target_check" "$judged"
  done
  printf '\n'
}

if ((smoke)); then
  smoke_test
  exit
fi

gen "$work/large.conf" 20000 2000
gen "$work/small.conf" 2000 200
gen "$work/v100.conf" 100 20
: > "$work/empty.conf"
gen_varied "$work/varied_large.conf" 20000
gen_varied "$work/varied_small.conf" 2000
gen_varied "$work/varied100.conf" 100

printf 'targets, each against the floor of the same file in the same run: -c <= 10x; the full dump\n'
printf '(-v, --json -v, -a -v) <= 20x; every other command <= 12x; growth from the small to the large\n'
printf 'file <= %sx; peak RSS < 1.5 x size + 8 MiB; -v of 100 VSs <= %sx the process-start floor\n\n' \
  "$target_growth" "$target_startup"

printf '== uniform configurations (gen_config.awk)\n'
printf 'small: 2,000 VSs x 8, %s MiB, %s lines; large: 20,000 VSs x 8, %s MiB, %s lines\n' \
  "$(size_mb "$work/small.conf")" "$(wc -l < "$work/small.conf")" \
  "$(size_mb "$work/large.conf")" "$(wc -l < "$work/large.conf")"
table "$work/small.conf" "$work/large.conf"

startup_runs=$((runs * 4 + 1))
floor_true=$(median_ms "$startup_runs" /bin/true)
printf '\nprocess-start floor (/bin/true): %s ms\n' "$floor_true"
startup "100-VS configuration ($(kb "$work/v100.conf") KB)" "$work/v100.conf" judged
startup "empty configuration" "$work/empty.conf"

printf '\n== varied configurations (gen_varied.py, seed %s)\n' "$varied_seed"
for f in varied_small varied_large; do
  printf '%s: %s VSs, %s real servers, %s MiB, %s lines, %s distinct keys\n' "${f#varied_}" \
    "$(grep -c '^<SECTION VS>' "$work/$f.conf" | thousands)" \
    "$(grep -cE '^!?-a .* -r [^#]' "$work/$f.conf" | thousands)" "$(size_mb "$work/$f.conf")" \
    "$(wc -l < "$work/$f.conf")" "$(distinct_keys "$work/$f.conf")"
done
names_of "$work/varied_small.conf"
printf 'rule5 is rule 5, "%s"; x is the certificate "%s"\n' "$rule_name" "$cert_name"
table "$work/varied_small.conf" "$work/varied_large.conf"
printf '\n'
startup "100-VS configuration ($(kb "$work/varied100.conf") KB)" "$work/varied100.conf" judged

diff_figures
check_figures

printf '\nverdicts: %d met, %d NOT met\n' "$met" "$missed"
