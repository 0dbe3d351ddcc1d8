# bash completion for diskwell-cli                                   -*- shell-script -*-
# Commands and options are read from the tool's own help, so they never drift from it.

_diskwell_cli_commands() {
    "$1" --help 2>/dev/null | awk '/^Commands:/ {on = 1; next} on && /^  / {print $1; next} on {exit}'
}

_diskwell_cli_options() {
    "$1" help "$2" 2>/dev/null | grep -oE '(^|[[:space:][(|,])--?[A-Za-z0-9][A-Za-z0-9-]*' |
        sed -E 's/^[[:space:][(|,]//' | sort -u
}

_diskwell_cli() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null 2>&1; then
        _init_completion || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    fi
    local tool=${words[0]}

    # The command is the first word after the tool that is not an option.
    local command="" i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            command=${words[i]}
            break
        fi
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--help -h --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "help $(_diskwell_cli_commands "$tool")" -- "$cur"))
        fi
        return
    fi

    case $prev in
    --criterion)
        COMPREPLY=($(compgen -W '0 1 2 3 4 5 6 7' -- "$cur"))
        return
        ;;
    --unit)
        COMPREPLY=($(compgen -W 'bytes KB MB GB' -- "$cur"))
        return
        ;;
    --into | --zip-folder)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    --pattern | --comment | --caller | --larger | --smaller | --between | --limit | \
        --include | --exclude | --before | --after | --days | --ext | --since | --scan)
        return
        ;;
    esac

    if [[ $command == help ]]; then
        COMPREPLY=($(compgen -W "$(_diskwell_cli_commands "$tool")" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_diskwell_cli_options "$tool" "$command")" -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    case $command in
    protected | clean | restore | details | crc)
        COMPREPLY=($(compgen -f -- "$cur"))
        ;;
    *)
        COMPREPLY=($(compgen -d -- "$cur"))
        ;;
    esac
}

complete -F _diskwell_cli diskwell-cli
