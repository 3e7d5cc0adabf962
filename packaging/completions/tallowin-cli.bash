# bash completion for tallowin-cli
_tallowin_cli() {
    local cur prev command word
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    command=
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case "$word" in
            status|download|update-ytdlp) command=$word; break ;;
        esac
    done

    case "$command" in
        "")
            COMPREPLY=($(compgen -W 'status download update-ytdlp --help --version' -- "$cur")) ;;
        status)
            COMPREPLY=($(compgen -W '--json --help' -- "$cur")) ;;
        download)
            if [ "$prev" = --quality ] || [ "$prev" = -q ]; then
                COMPREPLY=($(compgen -W 'highest p2160 p1080 p720 p480 audioOnly' -- "$cur"))
            elif [ "$prev" = --cookies-from-browser ]; then
                COMPREPLY=($(compgen -W 'brave chrome chromium edge firefox opera safari vivaldi whale' -- "$cur"))
            elif [ "$prev" = --output-dir ] || [ "$prev" = -o ]; then
                COMPREPLY=($(compgen -d -- "$cur"))
            elif [[ "$cur" == -* ]]; then
                COMPREPLY=($(compgen -W '--quality --output-dir --force-mp4 --no-force-mp4 --compatible-mp4 --json \
                    --update-and-retry --cookies-from-browser --help' -- "$cur"))
            fi ;;
        update-ytdlp)
            COMPREPLY=($(compgen -W '--help' -- "$cur")) ;;
    esac
}
complete -F _tallowin_cli tallowin-cli
