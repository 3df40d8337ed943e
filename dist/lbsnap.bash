# bash completion for lbsnap(8)                            -*- shell-script -*-

# ---- the options as `lbsnap --help` lists them, in its order ----
# (tests/completion_test.sh compares these lines with the tool's --help)
# The short options as the tool hands them to getopt: a letter followed by
# ":" takes an argument.
_lbsnap_optstring=vrcslLSN:R:XCzZ:M:mQ:q:F:T:b:B:d:DA:YEI:Jjw:W:f:taVH6o:n:
# The short options that select no command.
_lbsnap_modifiers=ftaVH6on
# The commands that take a VS, a rule or a sort order as their argument
# (the first argument that is not an option); the others take none.
_lbsnap_operands="v:VS r:rule s:VS l:VS L:VS S:VS N:VS X:VS C:VS z:VS Y:order"
_lbsnap_long_options="--json --check --strict --diff --resolve-timeout --help --version"
# ---- end of the options ----

_lbsnap_cert_dirs="/corvane/certs /tmp/certs"

# Adds each line of standard input to COMPREPLY, quoted for the shell.
_lbsnap_reply()
{
    local word
    while IFS= read -r word; do
        printf -v word %q "$word"
        COMPREPLY+=("$word")
    done
}

# Prints the names in configuration file $1 that start with $cur: for kind
# "vs" the VS numbers and names, for kind "rule" the rule names. The tool has
# no listing of names, so this reads the sections as its reader does: markers
# and keys start a line in any case, the value follows blanks and tabs, the
# real-server part of a VS holds no keys, and an unfinished section counts
# for nothing.
_lbsnap_config_names()
{
    [[ -r $1 ]] || return
    prefix=$cur awk -v kind="$2" '
        function value(key,    v) {
            v = substr($0, length(key) + 1)
            sub(/^[ \t]+/, "", v)
            return v
        }
        function offer(word) {
            if (word != "" && index(word, ENVIRON["prefix"]) == 1) print word
        }
        { line = toupper($0) }
        end == "" {
            if (index(line, "<CHECKER_ARGS>") == 1) end = "<END CHECKER_ARGS>"
            else if (index(line, "<ADAPTIVE_ARGS_HTTP_RS>") == 1) end = "<END ADAPTIVE_ARGS_HTTP_RS>"
            else if (index(line, "<ADAPTIVE_ARGS_SDN_GSTATS>") == 1) end = "<END ADAPTIVE_ARGS_SDN_GSTATS>"
            else if (index(line, "<SECTION VS>") == 1) end = "<END VS>"
            else if (index(line, "<RULE>") == 1) end = "<END RULE>"
            id = 0; name = ""; servers = 0
            next
        }
        index(line, end) == 1 {
            if (kind == "vs" && end == "<END VS>") {
                if (id >= 1) offer(id)
                offer(name)
            }
            if (kind == "rule" && end == "<END RULE>" && id >= 1) offer(name)
            end = ""
            next
        }
        servers { if (index(line, "<END>") == 1) servers = 0; next }
        end == "<END VS>" {
            if (index(line, "VID:") == 1) id = int(value("VID:"))
            else if (index(line, "NAME:") == 1 && toupper(value("NAME:")) != "NULL") name = value("NAME:")
            else if (index(line, "<IPVSADM>") == 1) servers = 1
        }
        end == "<END RULE>" {
            if (index(line, "ID:") == 1) id = int(value("ID:"))
            else if (index(line, "NAME:") == 1) name = value("NAME:")
        }
    ' "$1"
}

# Prints the certificate names (the *.pem files) that start with $cur.
_lbsnap_cert_names()
{
    local dir file
    for dir in $_lbsnap_cert_dirs; do
        for file in "$dir"/*.pem; do
            [[ -f $file ]] || continue
            file=${file##*/}
            file=${file%.pem}
            [[ $file == "$cur"* ]] && printf '%s\n' "$file"
        done
    done
}

_lbsnap()
{
    local cur prev words cword split
    _init_completion -s || return

    # Walk the words before the cursor as getopt does, to learn the
    # configuration file in use, the last command option, whether the
    # command argument is already given, and which option the current word
    # is the argument of.
    local conf=/corvane/bahd.conf command=v has_arg="" pending="" diff=""
    local i j word letter value diff_files=()
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        # --diff OLD NEW [VS]: its operands are two files and a VS of them.
        if [[ $word == --diff ]]; then
            diff=1
            continue
        fi
        # Its value is a number of seconds, not the command argument.
        if [[ $word == --resolve-timeout ]]; then
            ((++i == cword)) && pending=seconds
            continue
        fi
        if [[ $diff && $word != -* ]]; then
            diff_files+=("$word")
            continue
        fi
        if [[ $word == -- ]]; then
            ((i + 1 < cword)) && has_arg=1
            break
        fi
        if [[ $word != -?* || $word == --* ]]; then
            [[ $word == --* ]] || has_arg=1
            continue
        fi
        for ((j = 1; j < ${#word}; j++)); do
            letter=${word:j:1}
            [[ $_lbsnap_modifiers == *"$letter"* ]] || command=$letter
            [[ $_lbsnap_optstring == *"$letter:"* ]] || continue
            value=${word:j+1}
            if [[ -z $value ]]; then
                ((++i == cword)) && pending=$letter
                value=${words[i]-}
            fi
            [[ $letter == f ]] && conf=${value/#\~/$HOME}
            break
        done
    done

    case $pending in
        f) _filedir; return ;;
        Z | M | Q | q | I) _lbsnap_reply < <(_lbsnap_cert_names); return ;;
        T | A) _lbsnap_reply < <(_lbsnap_config_names "$conf" vs); return ;;
        F | w | W) _lbsnap_reply < <(_lbsnap_config_names "$conf" vs | grep -x '[0-9]*'); return ;;
        R) _lbsnap_reply < <(_lbsnap_config_names "$conf" rule); return ;;
        o) _available_interfaces; return ;;
        ? | seconds) return ;;
    esac

    if [[ $cur == -* ]]; then
        local options=${_lbsnap_optstring//:/} shorts=""
        for ((j = 0; j < ${#options}; j++)); do
            shorts+=" -${options:j:1}"
        done
        if [[ $cur == --* ]]; then
            _lbsnap_reply < <(compgen -W "$_lbsnap_long_options" -- "$cur")
        else
            _lbsnap_reply < <(compgen -W "$shorts $_lbsnap_long_options" -- "$cur")
        fi
        return
    fi

    if [[ $diff ]]; then
        case ${#diff_files[@]} in
            0 | 1) _filedir ;;
            2) _lbsnap_reply < <(_lbsnap_config_names "${diff_files[1]/#\~/$HOME}" vs) ;;
        esac
        return
    fi
    [[ $has_arg ]] && return
    case " $_lbsnap_operands " in
        *" $command:VS "*) _lbsnap_reply < <(_lbsnap_config_names "$conf" vs) ;;
        *" $command:rule "*) _lbsnap_reply < <(_lbsnap_config_names "$conf" rule) ;;
        *" $command:order "*) _lbsnap_reply < <(compgen -W "0 1 2 3" -- "$cur") ;;
    esac
} &&
    complete -F _lbsnap lbsnap

# ex: filetype=sh
