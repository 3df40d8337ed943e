#!/usr/bin/env bash
# A configuration too large for the memory a run may take: the dump ends with
# one line on standard error and a status of its own, prints no report and
# leaves the custom cipher-set file as it was.
#
# usage: out_of_memory.sh BINARY ROOT (the root compiled into BINARY)
set -u
bin=$(realpath "$1") root=$2
export LC_ALL=C
unset POSIXLY_CORRECT

rm -rf "$root" && mkdir -p "$root/corvane/cfg" && root=$(realpath "$root")
work=$(mktemp -d)
trap 'rm -rf "$work" "$root"' EXIT
conf=$root/corvane/bahd.conf custom=$root/corvane/cfg/_CIPHER_SETS

# The least address space (KiB, in 1 MiB steps) in which a dump of an empty
# configuration runs: what the program and its libraries take.
: > "$conf"
base=4096
until (ulimit -v "$base" && "$bin" -v > /dev/null 2>&1); do
  base=$((base + 1024))
  [ "$base" -le 262144 ] || { echo "FAIL: the tool does not run in 256 MiB"; exit 1; }
done

# 20,000 SSL VSs with cipher lists of their own: far more than 8 MiB loaded.
awk 'BEGIN { for (v = 1; v <= 20000; v++)
  printf "<SECTION VS>\nVID: %d\nVIP: 10.%d.%d.1\nPORT: 443\nPROTO: tcp\nSSLACCEL: 1\nCIPHERS: AES%d\n<END VS>\n",
    v, int(v / 256) % 256, v % 256, v }' > "$conf"
printf 'Custom_1 OLD:LIST\n' > "$custom"
(ulimit -v $((base + 8192)) && exec "$bin" -v > "$work/out" 2> "$work/err")
rc=$?

failed=0
problem() { echo "FAIL: $*"; failed=1; }
[ "$rc" -eq 71 ] || problem "exit status $rc, expected 71"
printf 'lbsnap: out of memory\n' | cmp -s - "$work/err" || problem "standard error: $(head -c 300 "$work/err")"
[ ! -s "$work/out" ] || problem "a report was printed"
[ "$(cat "$custom")" = "Custom_1 OLD:LIST" ] || problem "the custom cipher-set file changed"
[ "$(ls -A "$root/corvane/cfg")" = _CIPHER_SETS ] || problem "left in the settings: $(ls -A "$root/corvane/cfg")"

if [ "$failed" -eq 0 ]; then
  echo "out of memory: 1 passed, 0 failed"
else
  echo "out of memory: 0 passed, 1 failed"
fi
exit "$failed"
