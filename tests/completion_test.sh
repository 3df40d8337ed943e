#!/usr/bin/env bash
# Completes lbsnap command lines with the bash completion script and checks
# the words offered.  Usage: completion_test.sh COMPLETION-SCRIPT CONFIG
bc=/usr/share/bash-completion/bash_completion
[[ -r $bc ]] && source "$bc"
source "$1" || exit 1
example=$2
other=$(mktemp)
trap 'rm -f "$other"' EXIT
cat > "$other" << 'EOF'
<RULE>
ID: 3
name: later
<END RULE>
<section vs>
VID: 12
Name: edge
<IPVSADM>
NAME: not-a-key
<END>
NAME: null
<END VS>
<SECTION VS>
VID: 13
NAME: unfinished
EOF

failures=0
# expect "WORDS BEFORE THE CURSOR" "WORD AT THE CURSOR" "EXPECTED WORDS"
expect() {
    COMP_WORDS=(lbsnap $1 "$2")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="lbsnap $1 $2"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _lbsnap lbsnap "$2" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
    if [[ $got != "$3" ]]; then
        echo "FAIL: '$COMP_LINE' offered '$got', expected '$3'"
        failures=$((failures + 1))
    fi
}

expect "-f $example" "" "1 2 3 4 5 6 7 apps dns portal6 shop shop-redirect wiki"
expect "-l -f $example" "sh" "shop shop-redirect"
expect "-r -t -f$example" "" "addxff api dropserver oldpath static"
expect "-f $example -R" "d" "dropserver"
expect "-f $example -T" "p" "portal6"
expect "-f $example -F" "" "1 2 3 4 5 6 7"
expect "-f $example shop" "" ""
expect "-f $other" "" "12 edge"
expect "-f $other -r" "" "later"
expect "-f $example -f $other -A" "" "12 edge"
expect "-f $example" "-Z" "-Z"
expect "-l" "--" "--check --help --json --version"
echo "completion: $failures failed"
[[ $failures -eq 0 ]]
