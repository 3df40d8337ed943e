#!/usr/bin/env bash
# Runs end-to-end cases: lays each case out under the root compiled into
# the binary, runs it, and compares standard output, standard error, the exit
# status and any expected files.
#
# usage: run_cases.sh BINARY ROOT CASES_DIR [CASE_OR_GROUP...]
# A case with a file `resolver` runs with the stand-in resolver
# (E2E_STANDIN_RESOLVER names the library) loaded and the environment lines
# of that file set ({ROOT} replaced), bounded in time so that a run that
# waits for a lookup that never comes fails instead of hanging.
# Without names, every case; a name that is no case is a group: every case
# whose name starts with it and "_" (dump for dump_ssl, dump_follow, ...).
set -u
bin=$(realpath "$1") root=$2 cases=$3
mkdir -p "$root" && root=$(realpath "$root")
shift 3
export LC_ALL=C
unset POSIXLY_CORRECT

names=()
for pattern in "${@:-*}"; do
  [ -d "$cases/$pattern" ] || pattern="${pattern}_*"
  for d in "$cases"/$pattern/; do
    if [ -d "$d" ]; then names+=("$(basename "$d")"); else echo "no case $pattern"; exit 1; fi
  done
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0 fail=0

show_diff() {  # label expected actual
  echo "  $1 differs (expected / actual):"
  diff -u "$2" "$3" | sed -n '3,40p' | sed 's/^/    /'
}

run_case() {
  local c=$1 ok=1
  rm -rf "$root"
  mkdir -p "$root/corvane"
  [ -f "$c/bahd.conf" ] && cp "$c/bahd.conf" "$root/corvane/bahd.conf"
  [ -d "$c/root" ] && cp -a "$c/root/." "$root/"
  local args=()
  if [ -f "$c/args" ]; then
    while IFS= read -r line || [ -n "$line" ]; do
      args+=("${line//\{ROOT\}/$root}")
    done < "$c/args"
  fi
  local run=("$bin")
  if [ -f "$c/resolver" ]; then
    if [ -z "${E2E_STANDIN_RESOLVER-}" ]; then
      echo "  needs E2E_STANDIN_RESOLVER, the stand-in resolver library"; return 1
    fi
    # The library is loaded before a sanitizer's runtime, which is fine for
    # a stand-in that only answers lookups.
    run=(env "LD_PRELOAD=$E2E_STANDIN_RESOLVER"
         "ASAN_OPTIONS=${ASAN_OPTIONS-}:verify_asan_link_order=0")
    while IFS= read -r line || [ -n "$line" ]; do
      run+=("${line//\{ROOT\}/$root}")
    done < "$c/resolver"
    run=(timeout 60 "${run[@]}" "$bin")
  fi
  (cd "$root" && "${run[@]}" "${args[@]}" < /dev/null > "$work/stdout" 2> "$work/stderr")
  local rc=$?
  local want_rc=0
  [ -f "$c/expected.rc" ] && want_rc=$(tr -d ' \n' < "$c/expected.rc")
  local want_out="$c/expected.stdout" want_err="$c/expected.stderr"
  [ -f "$want_out" ] || want_out=/dev/null
  [ -f "$want_err" ] || want_err=/dev/null
  if [ "$rc" != "$want_rc" ]; then
    echo "  exit status $rc, expected $want_rc"; ok=0
  fi
  if ! cmp -s "$want_out" "$work/stdout"; then
    show_diff stdout "$want_out" "$work/stdout"; ok=0
  fi
  if [ -f "$c/stderr.contains" ]; then
    while IFS= read -r line || [ -n "$line" ]; do
      if ! grep -qxF -- "$line" "$work/stderr"; then
        echo "  stderr lacks the line: $line"; ok=0
      fi
    done < "$want_err"
  elif ! cmp -s "$want_err" "$work/stderr"; then
    show_diff stderr "$want_err" "$work/stderr"; ok=0
  fi
  if [ -d "$c/expected.files" ]; then
    while IFS= read -r f; do
      local rel=${f#"$c/expected.files/"}
      if [ ! -f "$root/$rel" ]; then
        echo "  missing file: $rel"; ok=0
      elif ! cmp -s "$f" "$root/$rel"; then
        show_diff "$rel" "$f" "$root/$rel"; ok=0
      fi
    done < <(find "$c/expected.files" -type f | sort)
  fi
  return $((1 - ok))
}

for n in "${names[@]}"; do
  if out=$(run_case "$cases/$n" 2>&1); then
    pass=$((pass + 1))
  else
    fail=$((fail + 1))
    echo "FAIL $n"
    printf '%s\n' "$out"
  fi
done
rm -rf "$root"
echo "e2e: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
