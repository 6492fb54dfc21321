# Sourced by run.sh and test.sh: installs the Debian packages they need.
# `install_missing NAME PACKAGE...` installs whichever PACKAGEs are missing,
# through sudo when not root; without passwordless sudo it prints the exact
# command and exits 1. NAME prefixes the messages.

is_installed() {
  dpkg -s "$1" 2>/dev/null | grep -q '^Status: install ok installed$'
}

install_missing() {
  local name=$1 missing=() package
  shift
  for package in "$@"; do
    is_installed "$package" || missing+=("$package")
  done
  if [[ ${#missing[@]} -eq 0 ]]; then
    echo "$name: all required packages are installed"
    return 0
  fi

  echo "$name: installing missing packages: ${missing[*]}"
  local sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
      sudo=(sudo)
    else
      echo "$name: these packages are missing and I cannot install them without root. Run:" >&2
      echo "  sudo apt-get update && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}" >&2
      exit 1
    fi
  fi
  "${sudo[@]}" apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}
