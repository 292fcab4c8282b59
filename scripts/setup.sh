#!/usr/bin/env bash
# Installs the Debian 12 packages that building and running Quillmere need,
# and with a group named, those of the tests and tools. Installs only what is
# missing, so running it again is cheap.
# Usage: scripts/setup.sh [test] [package] [fuzz] [format] [filemanager]
#   test: the X server, window manager, tray host and tools the tests use;
#   package: the Debian package's tools and validators; fuzz: clang with
#   libFuzzer and the sanitizers; format: clang-format; filemanager: a real
#   file manager to drag files from by hand
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
  libglib2.0-dev libxcb1-dev libxcb-keysyms1-dev libxkbcommon-dev
  # bench_filter's timing of the real program (keys in, repaints out)
  libxcb-damage0-dev libxcb-xtest0-dev
  # run
  qt6-qpa-plugins adwaita-icon-theme fonts-dejavu-core
)
# the tests: X server, window manager, tray host, keys, screenshots
TEST_PACKAGES=(xvfb xauth openbox xdotool x11-utils trayer imagemagick dbus-x11)
# the Debian package (scripts/package.sh): its dependencies and the validators
PACKAGE_PACKAGES=(dpkg-dev file desktop-file-utils appstream lintian man-db)
# fuzz targets (scripts/fuzz.sh): clang, libFuzzer and the sanitizer runtimes
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
# the format check (scripts/check-format.sh)
FORMAT_PACKAGES=(clang-format)
# trying drops from a real file manager under Xvfb (no suite needs it)
FILEMANAGER_PACKAGES=(pcmanfm)

for group in "$@"; do
  case "$group" in
    test) PACKAGES+=("${TEST_PACKAGES[@]}") ;;
    package) PACKAGES+=("${PACKAGE_PACKAGES[@]}") ;;
    fuzz) PACKAGES+=("${FUZZ_PACKAGES[@]}") ;;
    format) PACKAGES+=("${FORMAT_PACKAGES[@]}") ;;
    filemanager) PACKAGES+=("${FILEMANAGER_PACKAGES[@]}") ;;
    *) echo "setup: unknown package group: $group" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=sudo
  else
    echo "setup: these packages are missing and I am neither root nor have sudo: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
