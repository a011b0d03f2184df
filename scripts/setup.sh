# Installs what the build needs and is missing (Debian packages); sourced by demo.sh and test.sh.
# A script that needs more sets TIDEMILL_EXTRA_PACKAGES before it sources this file.

tidemill_missing_packages() {
  local missing=()
  command -v cmake >/dev/null 2>&1 || missing+=(cmake)
  command -v g++ >/dev/null 2>&1 || missing+=(g++)
  command -v make >/dev/null 2>&1 || missing+=(make)
  local package
  for package in libxml2-dev libgtest-dev ${TIDEMILL_EXTRA_PACKAGES:-}; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
  done
  echo "${missing[*]}"
}

tidemill_setup() {
  local missing
  missing=$(tidemill_missing_packages)
  [ -z "$missing" ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "Missing packages: $missing (run as root, or install them, to go on)" >&2
      return 1
    fi
    sudo=(sudo)
  fi
  echo "Installing missing packages: $missing"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  # shellcheck disable=SC2086
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}

tidemill_setup
