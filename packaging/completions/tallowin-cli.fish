# fish completion for tallowin-cli
set -l commands status download update-ytdlp

complete -c tallowin-cli -f
complete -c tallowin-cli -n "not __fish_seen_subcommand_from $commands" -s h -l help -d 'Print help and exit'
complete -c tallowin-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Print the version and exit'
complete -c tallowin-cli -n "not __fish_seen_subcommand_from $commands" -a status \
    -d 'Show the active yt-dlp and the versions of the bundled tools'
complete -c tallowin-cli -n "not __fish_seen_subcommand_from $commands" -a download \
    -d 'Save the video behind a link as one file, and print its path'
complete -c tallowin-cli -n "not __fish_seen_subcommand_from $commands" -a update-ytdlp \
    -d 'Download the latest yt-dlp release into your data folder'

complete -c tallowin-cli -n '__fish_seen_subcommand_from status' -l json -d 'Print one JSON object'
complete -c tallowin-cli -n '__fish_seen_subcommand_from status download update-ytdlp' -s h -l help -d 'Print help and exit'

complete -c tallowin-cli -n '__fish_seen_subcommand_from download' -s q -l quality -x \
    -a 'highest p2160 p1080 p720 p480 audioOnly' -d 'Quality preset'
complete -c tallowin-cli -n '__fish_seen_subcommand_from download' -s o -l output-dir -x -a '(__fish_complete_directories)' \
    -d 'Move the finished file into this folder'
complete -c tallowin-cli -n '__fish_seen_subcommand_from download' -l force-mp4 -d 'Deliver an MP4 (default)'
complete -c tallowin-cli -n '__fish_seen_subcommand_from download' -l no-force-mp4 -d 'Keep the downloaded container'
complete -c tallowin-cli -n '__fish_seen_subcommand_from download' -l compatible-mp4 \
    -d 'Also re-encode AV1 video to H.264'
complete -c tallowin-cli -n '__fish_seen_subcommand_from download' -l json -d 'Print one JSON object'
complete -c tallowin-cli -n '__fish_seen_subcommand_from download' -l update-and-retry \
    -d 'Update yt-dlp and try again when that may cure a failure'
complete -c tallowin-cli -n '__fish_seen_subcommand_from download' -l cookies-from-browser -x \
    -a 'brave chrome chromium edge firefox opera safari vivaldi whale' -d "Download signed in with a browser's session"
