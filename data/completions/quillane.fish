# fish completion for quillane: commands, each command's options (as
# `quillane COMMAND --help` lists them), and file or folder names where an
# option or command takes one.

set -l commands window scan diff treemap caches trash access
complete -c quillane -f
complete -c quillane -n "not __fish_seen_subcommand_from $commands" -l help -s h -d 'Show the overview'
complete -c quillane -n "not __fish_seen_subcommand_from $commands" -l version -d 'Show the version'
complete -c quillane -n "not __fish_seen_subcommand_from $commands" -a window -d 'Open the explorer window'
complete -c quillane -n "not __fish_seen_subcommand_from $commands" -a scan -d 'Scan a folder and print its size'
complete -c quillane -n "not __fish_seen_subcommand_from $commands" -a diff -d 'Show what changed between two scans'
complete -c quillane -n "not __fish_seen_subcommand_from $commands" -a treemap -d 'Lay a folder out as a treemap'
complete -c quillane -n "not __fish_seen_subcommand_from $commands" -a caches -d 'List or clean reclaimable caches'
complete -c quillane -n "not __fish_seen_subcommand_from $commands" -a trash -d 'Move to, list or empty the Trash'
complete -c quillane -n "not __fish_seen_subcommand_from $commands" -a access -d 'Show what protected locations are readable'

complete -c quillane -n "__fish_seen_subcommand_from $commands" -s h -l help -d 'Show the command\'s help'

# Folders for the commands that scan.
complete -c quillane -n '__fish_seen_subcommand_from window scan treemap caches' -a '(__fish_complete_directories)'
complete -c quillane -n '__fish_seen_subcommand_from window' -l open -r -F -d 'Show the tree of an exported scan'

set -l scanning '__fish_seen_subcommand_from scan treemap'
complete -c quillane -n $scanning -s x -l one-file-system -d 'Do not enter mount points below PATH'
complete -c quillane -n $scanning -l exclude -x -d 'Leave out what GLOB matches (repeatable)'
complete -c quillane -n $scanning -l exclude-from -r -F -d 'Leave out each GLOB in FILE'
complete -c quillane -n $scanning -l include-remote -d 'Also enter network file systems and images'

complete -c quillane -n '__fish_seen_subcommand_from scan' -l top -x -d 'How many of the largest children to list'
complete -c quillane -n '__fish_seen_subcommand_from scan' -l largest -x -d 'Also list the N largest files'
complete -c quillane -n '__fish_seen_subcommand_from scan' -l types -d 'Also list the space each file type takes'
complete -c quillane -n '__fish_seen_subcommand_from scan' -l json -r -F -d 'Also write the tree as JSON'
complete -c quillane -n '__fish_seen_subcommand_from scan' -l report-json -r -F -d 'Also write the summary as JSON'
complete -c quillane -n '__fish_seen_subcommand_from scan' -l concurrency -x -d 'Directories read at once, 1 to 32'
complete -c quillane -n '__fish_seen_subcommand_from scan' -l file-manager -d 'Use the slower portable listing'
complete -c quillane -n '__fish_seen_subcommand_from scan' -l quiet -d 'No live progress line'
complete -c quillane -n '__fish_seen_subcommand_from scan' -l keep-partial -d 'On Ctrl-C report what was read'
complete -c quillane -n '__fish_seen_subcommand_from scan' -l import -r -F -d 'Read the tree from an export'

complete -c quillane -n '__fish_seen_subcommand_from diff' -F
complete -c quillane -n '__fish_seen_subcommand_from diff' -l top -x -d 'How many changed entries to list'
complete -c quillane -n '__fish_seen_subcommand_from diff' -l json -d 'Write the comparison as JSON'

complete -c quillane -n '__fish_seen_subcommand_from treemap' -l size -x -d 'Canvas size in points, WxH'
complete -c quillane -n '__fish_seen_subcommand_from treemap' -l json -r -F -d 'Write the tiles as JSON'
complete -c quillane -n '__fish_seen_subcommand_from treemap' -l svg -r -F -d 'Write an SVG drawing'
complete -c quillane -n '__fish_seen_subcommand_from treemap' -l png -r -F -d 'Write a PNG image'

complete -c quillane -n '__fish_seen_subcommand_from caches' -l json -d 'List as JSON'
complete -c quillane -n '__fish_seen_subcommand_from caches' -l clean -d 'Clean the ticked caches or named system items'
complete -c quillane -n '__fish_seen_subcommand_from caches' -l category -x -d 'Clean only that category'
complete -c quillane -n '__fish_seen_subcommand_from caches' -l yes -d 'Do not ask first'
complete -c quillane -n '__fish_seen_subcommand_from caches' -l projects -d 'Only project build artefacts below each ROOT'
complete -c quillane -n '__fish_seen_subcommand_from caches' -l system -d 'The caches the system owns'

complete -c quillane -n '__fish_seen_subcommand_from trash' -F
complete -c quillane -n '__fish_seen_subcommand_from trash' -l permanent -d 'Remove for good instead'
complete -c quillane -n '__fish_seen_subcommand_from trash' -l list -d 'List the Trash'
complete -c quillane -n '__fish_seen_subcommand_from trash' -l json -d 'With --list: as JSON'
complete -c quillane -n '__fish_seen_subcommand_from trash' -l restore -d 'Put back the items trashed last from each PATH'
complete -c quillane -n '__fish_seen_subcommand_from trash' -l empty -d 'Empty the Trash for good'
complete -c quillane -n '__fish_seen_subcommand_from trash' -l yes -d 'With --empty: do not ask first'
