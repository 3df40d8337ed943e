#!/usr/bin/env bash
# Checks the completion script's option lists against the tool's --help,
# then completes lbsnap command lines with it and checks the words offered.
# Usage: completion_test.sh COMPLETION-SCRIPT CONFIG LBSNAP
bc=/usr/share/bash-completion/bash_completion
[[ -r $bc ]] && source "$bc"
source "$1" || exit 1
example=$2
other=$(mktemp)
certs=$(mktemp -d)
trap 'rm -rf "$other" "$certs"' EXIT

# The same four lines from --help: the option string (each letter from the
# line of its own command or modifier, ":" for an argument), the modifiers,
# the command arguments ([VS] ...) and the long options.
from_help=$("$3" --help | awk -F '  +' '
    /^Modifiers:/ { modifiers = 1 }
    $2 ~ /^--/ { split($2, w, " "); long = long " " w[1]; next }
    $2 !~ /^-/ { next }
    {
        n = split($2, w, " ")
        if (w[1] !~ /^-.$/) next
        for (i = 2; i <= n; i++) if (w[i] ~ /^-/) next
        letter = substr(w[1], 2)
        opts = opts letter
        for (i = 2; i <= n; i++)
            if (w[i] ~ /^\[/) operands = operands " " letter ":" substr(w[i], 2, length(w[i]) - 2)
            else opts = opts ":"
        if (modifiers) mods = mods letter
    }
    END { print opts; print mods; print substr(operands, 2); print substr(long, 2) }')
in_script=$(printf '%s\n' "$_lbsnap_optstring" "$_lbsnap_modifiers" "$_lbsnap_operands" \
    "$_lbsnap_long_options")
if [[ $from_help != "$in_script" ]]; then
    echo "FAIL: the script's options differ from --help (script / help):"
    diff <(echo "$in_script") <(echo "$from_help")
    exit 1
fi

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
expect "-l" "--" "--check --diff --help --json --resolve-timeout --strict --version"
expect "-S --resolve-timeout" "" ""
expect "-S --resolve-timeout 5 -f $example" "sh" "shop shop-redirect"
# --diff: two files, then the VSs of the second.
expect "--diff" "$other" "$other"
expect "-a --diff $other" "$example" "$example"
expect "--diff $other $example" "sh" "shop shop-redirect"
# Commands that take no argument get no names.
expect "-f $example -c" "" ""
expect "-f $example -R api" "" ""
expect "-f $example -N 1.2.3.4" "sh" "shop shop-redirect"
expect "-Y" "" "0 1 2 3"
touch "$certs/shop-cert.pem" "$certs/other.txt"
_lbsnap_cert_dirs=$certs
for letter in Z M Q q I; do
    expect "-$letter" "" "shop-cert"
done
echo "completion: $failures failed"
[[ $failures -eq 0 ]]
