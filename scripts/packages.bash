# Installs the Debian packages named that are missing, with sudo unless root;
# the scripts that build the game source it.
#   install_missing PACKAGE...
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

install_missing() {
  local missing=() package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
