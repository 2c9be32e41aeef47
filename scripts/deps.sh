# Shared by scripts/run and scripts/test: installs the Debian packages that are
# missing, through apt-get as root or through sudo. Sourced, not run.

velmora_packages_build=(cmake ninja-build g++ qt6-base-dev qt6-translations-l10n libgtest-dev
  zlib1g-dev python3 clang libclang-rt-14-dev)
velmora_packages_test=(xvfb xauth unzip libarchive-tools ripgrep clang-format appstream dpkg-dev)

velmora_missing() {
  local p missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  echo "${missing[@]:-}"
}

velmora_install() {
  local missing
  missing=$(velmora_missing "$@")
  [ -z "$missing" ] && return 0
  echo "Installiere fehlende Pakete: $missing"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo="sudo"
    else
      echo "Fehlende Pakete: $missing" >&2
      echo "Bitte als root ausführen oder sudo einrichten: apt-get install $missing" >&2
      exit 1
    fi
  fi
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "apt-get nicht gefunden. Bitte diese Pakete von Hand installieren: $missing" >&2
    exit 1
  fi
  # shellcheck disable=SC2086
  if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing; then
    $sudo apt-get update -q || true
    # shellcheck disable=SC2086
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing || {
      echo "Konnte diese Pakete nicht installieren: $missing" >&2
      exit 1
    }
  fi
}
