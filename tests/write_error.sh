#!/usr/bin/env bash
# Standard output that cannot be written: every kind of output says so on
# standard error and ends with status 74; a reader that went away (a closed
# pipe, its signal ignored) ends the run quietly.
#
# usage: write_error.sh BINARY CONFIGURATION
set -u
bin=$1 conf=$2
export LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

for args in "-v" "--json -v" "--check" "--help" "-c" "--diff $conf $conf"; do
  read -r -a a <<< "$args"
  rc=0
  "$bin" -f "$conf" "${a[@]}" > /dev/full 2> "$work/err" || rc=$?
  [[ ${a[0]} == --diff ]] && { rc=0; "$bin" "${a[@]}" > /dev/full 2> "$work/err" || rc=$?; }
  if [[ $rc != 74 ]] || ! printf 'lbsnap: write error: No space left on device\n' | cmp -s - "$work/err"; then
    echo "FAIL: $args to /dev/full: status $rc, standard error '$(cat "$work/err")'"
    failures=$((failures + 1))
  fi
done

rc=$( (trap '' PIPE; "$bin" -f "$conf" -v 2> "$work/err" | head -c 1 > /dev/null; echo "${PIPESTATUS[0]}") )
if [[ $rc != 0 || -s $work/err ]]; then
  echo "FAIL: -v into a closed pipe: status $rc, standard error '$(cat "$work/err")'"
  failures=$((failures + 1))
fi

echo "write errors: $failures failures"
exit $((failures > 0))
