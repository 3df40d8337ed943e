#!/usr/bin/env bash
# Seeds each harness's corpus from the end-to-end cases, runs every harness
# for the given time with its dictionary (fuzz/NAME.dict, if any), and prints
# the coverage each reached. Fails when any harness makes a finding.
#
# usage: fuzz/run.sh BUILD_DIR SECONDS
set -u
build=$(realpath "$1") seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
cases=$here/../tests/e2e/cases
work=$build/fuzz-work
mkdir -p "$work/findings"

seed() {  # harness corpus_dir
  local c n f i line
  for c in "$cases"/*/; do
    n=$(basename "$c")
    case $1 in
      reader_fuzz | reader_parts_fuzz) [ -f "$c/bahd.conf" ] && cp "$c/bahd.conf" "$2/$n" ;;
      options_fuzz) [ -f "$c/args" ] && tr '\n' '\0' < "$c/args" > "$2/$n" ;;
      addrs_fuzz)
        i=0
        [ -f "$c/args" ] && while IFS= read -r line; do
          printf '%s' "$line" > "$2/$n-$((i++))"
        done < "$c/args" ;;
      cipherset_fuzz)
        for f in "$c/root/corvane/cfg/_CIPHER_SETS" "$c/root/etc/cipher_sets"; do
          [ -f "$f" ] && cp "$f" "$2/$n${f##*/}"
        done ;;
    esac
  done
  return 0
}

passed=0 failed=0
for src in "$here"/*_fuzz.cpp; do
  h=$(basename "$src" .cpp)
  corpus=$work/corpus/$h log=$work/$h.log
  mkdir -p "$corpus"
  seed "$h" "$corpus"
  dict=()
  # Both reader harnesses read configurations: one dictionary serves them.
  d=$here/${h/reader_parts_fuzz/reader_fuzz}.dict
  [ -f "$d" ] && dict=(-dict="$d")
  (cd "$work" && "$build/$h" "${dict[@]}" -max_total_time="$seconds" -timeout=60 \
     -print_final_stats=1 -artifact_prefix="$work/findings/$h-" "$corpus") > "$log" 2>&1
  rc=$?
  echo "$h: $(grep -E '^#[0-9]+.*cov:' "$log" | tail -n 1)"
  echo "$h: $(sed -n 's/^stat::number_of_executed_units: */executions: /p' "$log")"
  if [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "$h: FINDING (exit status $rc), input and log in $work:"
    grep -E -A40 'ERROR|check failed|SUMMARY' "$log" | head -n 60
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
