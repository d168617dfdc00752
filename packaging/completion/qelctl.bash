# bash completion for qelctl                                  -*- shell-script -*-
# Installed as /usr/share/bash-completion/completions/qelctl; works on its own
# too (source it), without the helpers of the bash-completion package.

_qelctl_commands="detect read write restore type-change monitor show print diff scan backup check history ports"
_qelctl_global_options="--port --trace --help -h --version"

# The serial ports found: what `qelctl ports` lists (device path and by-id
# link), else the usual device nodes; the stable /dev/serial/by-id links in
# both cases.
_qelctl_ports()
{
    local prog=$1 line path link
    local -a found=()
    if [[ -n $prog ]] && type -P -- "$prog" >/dev/null 2>&1; then
        while IFS=$'\t' read -r path link _; do
            [[ $path == /* ]] && found+=("$path")
            [[ $link == /* ]] && found+=("$link")
        done < <("$prog" ports </dev/null 2>/dev/null)
    fi
    if ((${#found[@]} == 0)); then
        for path in /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*; do
            [[ -e $path ]] && found+=("$path")
        done
    fi
    for link in /dev/serial/by-id/*; do
        [[ -e $link ]] && found+=("$link")
    done
    printf '%s\n' "${found[@]}" | sort -u
}

# The serial numbers the device history holds (its folders are TYPE-SERIAL),
# or, given a serial number, the names of that converter's copies.
_qelctl_history()
{
    local root=${XDG_DATA_HOME:-$HOME/.local/share}/qel-settings/history folder copy
    for folder in "$root"/*-*/; do
        [[ -d $folder ]] || continue
        folder=${folder%/}
        folder=${folder##*/}
        if [[ -z ${1-} ]]; then
            printf '%s\n' "${folder#*-}"
        elif [[ ${folder#*-} == "$1" ]]; then
            for copy in "$root/$folder"/*.pdt; do
                [[ -f $copy ]] && copy=${copy##*/} && printf '%s\n' "${copy%.pdt}"
            done
        fi
    done | sort -u
}

# COMPREPLY: the words of $1 that start with $2.
_qelctl_words()
{
    mapfile -t COMPREPLY < <(compgen -W "$1" -- "$2")
}

# COMPREPLY: files whose name ends in .EXT (any case), and directories.
_qelctl_files()
{
    local ext=$1 cur=$2 pattern= c ch
    for ((c = 0; c < ${#ext}; c++)); do
        ch=${ext:c:1}
        pattern+="[${ch,}${ch^}]"
    done
    type compopt >/dev/null 2>&1 && compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -X "!*.$pattern" -- "$cur"; compgen -d -- "$cur")
}

_qelctl()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # --port=DEVICE: bash splits the word at '='.
    if [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
        [[ $prev == --port ]] || return 0
    elif [[ $cur == = ]]; then
        [[ $prev == --port ]] || return 0
        cur=
    fi

    case $prev in
        --port)
            _qelctl_words "$(_qelctl_ports "${COMP_WORDS[0]}")" "$cur"
            return 0 ;;
        --type)
            _qelctl_words "521 527 5600" "$cur"
            return 0 ;;
        --count)
            return 0 ;;
        --fleet | --trace)
            type compopt >/dev/null 2>&1 && compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return 0 ;;
    esac

    # The command: the first word that is neither an option nor its value.
    local i word command=
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --port | --trace) ((i++)); [[ ${COMP_WORDS[i]} == = ]] && ((i++)) ;;
            -*) ;;
            *) command=$word; break ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            _qelctl_words "$_qelctl_global_options" "$cur"
        else
            _qelctl_words "$_qelctl_commands" "$cur"
        fi
        return 0
    fi

    # The tool's own options may follow a command that talks to a converter.
    local options= files= tool=
    case $command in
        detect | read | write | restore | type-change | monitor | diff | scan | backup | check)
            tool="--port --trace" ;;
    esac
    case $command in
        detect) options="--json" ;;
        read) options="-o"; [[ $prev == -o ]] && files=pdt ;;
        write) options="--verify --expect-serial --no-keep --json"; [[ $prev == --expect-serial ]] && return 0; files=pdt ;;
        restore | history)
            if [[ $command == restore ]]; then options="--at"; else options="--json --diff"; fi
            # The serial number is the word after the command; --at takes one of its copies.
            local serial=${COMP_WORDS[i + 1]}
            if [[ $prev == --at ]]; then
                _qelctl_words "$(_qelctl_history "$serial")" "$cur"
                return 0
            fi
            if [[ $cur != -* ]]; then
                if ((COMP_CWORD == i + 1)); then
                    _qelctl_words "$(_qelctl_history)" "$cur"
                elif [[ $command == history ]] && [[ " ${COMP_WORDS[*]} " == *" --diff "* ]]; then
                    _qelctl_words "$(_qelctl_history "$serial")" "$cur"
                fi
                return 0
            fi ;;
        scan) options="--fleet --json" ;;
        backup | check)
            options="--fleet --json"
            [[ $command == check ]] && options+=" --from"
            if [[ $cur != -* ]]; then
                type compopt >/dev/null 2>&1 && compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -d -- "$cur")
                return 0
            fi ;;
        type-change)
            [[ $cur != -* ]] && _qelctl_words "521 527 5600" "$cur"
            return 0 ;;
        monitor)
            options="--count --csv --time"
            if [[ $prev == --csv ]]; then
                [[ $cur != -* ]] && _qelctl_files csv "$cur"
                return 0
            fi ;;
        show) options="--json --type"; files=pdt ;;
        print)
            options="-o --type"
            if [[ $prev == -o ]]; then files=pdf; else files=pdt; fi ;;
        diff) options="--json"; files=pdt ;;
        ports) options="--json" ;;
        *) return 0 ;;
    esac
    if [[ $cur == -* ]]; then
        _qelctl_words "$(printf '%s\n' $options $tool --help | sort -u)" "$cur"
    elif [[ -n $files ]]; then
        _qelctl_files "$files" "$cur"
    fi
    return 0
}

complete -F _qelctl qelctl
