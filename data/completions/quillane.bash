# bash completion for quillane                             -*- shell-script -*-
# Commands, each command's options (as `quillane COMMAND --help` lists
# them), and file or folder names where an option or command takes one.

_quillane() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()
  if ((COMP_CWORD == 1)); then
    mapfile -t COMPREPLY < <(compgen -W 'window scan diff treemap caches trash access --help --version' -- "$cur")
    return
  fi
  local command=${COMP_WORDS[1]} options scope='-x --one-file-system --exclude --exclude-from --include-remote'
  case $command in
    window) options='--open' ;;
    scan) options="--top --largest --types --json --report-json --concurrency --file-manager --quiet --keep-partial --import $scope" ;;
    diff) options='--top --json' ;;
    treemap) options="--size --json --svg --png $scope" ;;
    caches) options='--json --clean --category --yes --projects --system' ;;
    trash) options='--permanent --list --json --restore --empty --yes' ;;
    access) options='' ;;
    *) return ;;
  esac
  case $prev in
    --json | --report-json | --import | --exclude-from | --svg | --png | --open)
      compopt -o filenames
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
      ;;
    --top | --largest | --concurrency | --size | --exclude | --category)
      return # a value of the user's own
      ;;
  esac
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options --help" -- "$cur")
    return
  fi
  case $command in
    window | scan | treemap | caches)
      compopt -o filenames
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      ;;
    trash | diff)
      compopt -o filenames
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
  esac
}
complete -F _quillane quillane
