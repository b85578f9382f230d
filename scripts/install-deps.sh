#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests, the Debian package and the demo need, if any
# are missing.
# As root it runs apt-get itself; otherwise it prints the exact line to run and fails.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libqcustomplot-dev libsqlite3-dev nlohmann-json3-dev
  clang-format
  clang libclang-rt-14-dev
  xvfb xauth xdotool
  dpkg-dev file lintian poppler-utils desktop-file-utils appstream man-db
  dbus at-spi2-core e2fsprogs
  ser2net  # the serial tier runs its own in front of orvik-sim (Debian also starts its service, on localhost)
  locales
)
# Desktops whose decimal mark is a comma, for the tests that run as on them.
test_locales=(de_DE tr_TR)

# Generates the test locales that are missing (as root; otherwise says how).
make_locales() {
  for l in "${test_locales[@]}"; do
    locale -a 2>/dev/null | grep -qix "$l.utf8" && continue
    if [ "$(id -u)" -eq 0 ]; then
      localedef -i "$l" -f UTF-8 "$l.UTF-8"
    else
      echo "The locale $l.UTF-8 is missing; the comma-decimal tests skip it. As root: localedef -i $l -f UTF-8 $l.UTF-8" >&2
    fi
  done
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  make_locales
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  make_locales
else
  echo "Missing packages. Install them as root with:" >&2
  echo "  apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
