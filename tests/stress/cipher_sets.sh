#!/usr/bin/env bash
# Many dumps at once record the cipher sets of the same SSL VSs, round after
# round with new lists, and some dumps are killed while they replace sets.
# After each round every set is in the custom file exactly once with its
# newest list, the other lines are kept, every line is whole, and after a
# normal run nothing is left beside the file (no temporary file, no lock).
#
# usage: cipher_sets.sh BINARY ROOT (the root compiled into BINARY)
set -u
bin=$(realpath "$1") root=$2
nvs=20 runs=20 rounds=3 kills=3
export LC_ALL=C
unset POSIXLY_CORRECT

rm -rf "$root" && mkdir -p "$root/corvane/cfg" && root=$(realpath "$root")
custom=$root/corvane/cfg/_CIPHER_SETS
work=$(mktemp -d)
trap 'rm -rf "$work" "$root"' EXIT
failed=0
problem() { echo "FAIL: $*"; failed=1; }

# A long comment block makes each replacement copy take a while, so that the
# kills land in the middle of one.
{
  echo "# custom sets"
  for ((i = 0; i < 8000; i++)); do echo "# kept comment line $i of the file"; done
  echo "Custom_99 KEPT:SET"
} > "$custom"
grep '^#' "$custom" > "$work/comments"

cipher_list() { echo "AES$1-SHA:ROUND$1:VS$2"; }

write_conf() {  # round
  for ((v = 1; v <= nvs; v++)); do
    printf '<SECTION VS>\nVID: %d\nVIP: 10.0.0.%d\nPORT: 443\nPROTO: tcp\nSSLACCEL: 1\nCIPHERS: %s\n<END VS>\n' \
      "$v" "$v" "$(cipher_list "$1" "$v")"
  done > "$root/corvane/bahd.conf"
}

check_file() {  # round
  local r=$1
  { cat "$work/comments"
    { echo "Custom_99 KEPT:SET"
      for ((v = 1; v <= nvs; v++)); do echo "Custom_$v $(cipher_list "$r" "$v")"; done
    } | sort
  } > "$work/want"
  { grep '^#' "$custom"; grep -v '^#' "$custom" | sort; } > "$work/got"
  cmp -s "$work/want" "$work/got" ||
    problem "round $r: sets differ (missing, repeated, stale or partial):" \
      "$(diff "$work/want" "$work/got" | head -8)"
  [ -z "$(tail -c 1 "$custom")" ] || problem "round $r: the last line is not whole"
}

check_leftovers() {  # when
  local f
  for f in "$root"/corvane/cfg/*; do
    case ${f##*/} in
      _CIPHER_SETS) ;;
      *) problem "$1: left behind: ${f##*/}" ;;
    esac
  done
}

dump() { (cd "$root" && "$bin" -v < /dev/null > "$work/out.$1" 2> "$work/err.$1"); }

for ((r = 1; r <= rounds; r++)); do
  write_conf "$r"
  pids=() bad=0
  for ((i = 0; i < runs; i++)); do dump "$i" & pids+=($!); done
  for ((i = 0; i < runs; i++)); do
    wait "${pids[$i]}" && cmp -s "$work/out.0" "$work/out.$i" && [ ! -s "$work/err.$i" ] ||
      bad=$((bad + 1))
  done
  [ "$bad" -eq 0 ] || problem "round $r: $bad dumps failed or printed something else"
  check_file "$r"
  check_leftovers "round $r"
done

# Kill dumps while a temporary copy exists, then let one normal dump run.
r=$((rounds + 1))
write_conf "$r"
for ((k = 0; k < kills; k++)); do
  (cd "$root" && exec "$bin" -v < /dev/null > /dev/null 2>&1) &
  pid=$!
  for ((t = 0; t < 20000; t++)); do
    [ -e "$custom.tmp$pid" ] && break
  done
  kill -KILL "$pid" 2> /dev/null
  wait "$pid" 2> /dev/null
done
dump last || problem "the dump after the kills exited with $?"
check_file "$r"
check_leftovers "after the kills and a normal run"

if [ "$failed" -eq 0 ]; then
  echo "cipher-set stress: 1 passed, 0 failed"
else
  echo "cipher-set stress: 0 passed, 1 failed"
fi
exit "$failed"
