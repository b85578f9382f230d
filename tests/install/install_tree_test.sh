#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: exactly the programs and what a desktop and a shell
# need of them, each of which passes its validator, and programs that answer --help and --version
# without a display.
#   install_tree_test.sh BUILD_DIR APP_ID VERSION TREND_PLUGIN (its path under the prefix)
set -euo pipefail
build=$1 id=$2 version=$3 plugin=$4
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$root/usr" >/dev/null

expected=(
  usr/bin/orvik-monitor usr/bin/orvik-sim usr/bin/orvikctl "usr/$plugin"
  "usr/share/applications/$id.desktop"
  "usr/share/metainfo/$id.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$id.svg"
  usr/share/man/man1/orvik-monitor.1.gz usr/share/man/man1/orvik-sim.1.gz usr/share/man/man1/orvikctl.1.gz
  usr/share/bash-completion/completions/orvikctl
  usr/share/doc/orvik-monitor/copyright usr/share/doc/orvik-monitor/changelog.gz
)
sizes=(16 22 24 32 48 64 128 256)
for s in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${s}x${s}/apps/$id.png"); done
diff -u <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) ||
  fail "the install tree holds other files than these"

# Each PNG is as large as the folder it is in says (width and height from its header).
for s in "${sizes[@]}"; do
  png="$root/usr/share/icons/hicolor/${s}x${s}/apps/$id.png"
  read -r -a header < <(od -An -tu1 -j16 -N8 "$png")
  width=$(((header[2] << 8) | header[3])) height=$(((header[6] << 8) | header[7]))
  [ "$width" = "$s" ] && [ "$height" = "$s" ] || fail "$png is ${width}x${height}"
done

desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
grep -qx "Exec=orvik-monitor --user-folder" "$root/usr/share/applications/$id.desktop" ||
  fail "the menu entry does not start the monitor in the per-user folder"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"

for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page: $warnings"
done

completion=$root/usr/share/bash-completion/completions/orvikctl
registered=$(bash -c 'source "$1" && complete -p orvikctl' bash "$completion") || true
[ "$registered" = "complete -F _orvikctl orvikctl" ] ||
  fail "$completion does not complete orvikctl"

# The installed programs run from the prefix, without a display.
export -n DISPLAY WAYLAND_DISPLAY
[ "$("$root/usr/bin/orvik-monitor" --version)" = "orvik-monitor $version" ] || fail "orvik-monitor --version"
"$root/usr/bin/orvik-monitor" --help | grep -q '^Usage: orvik-monitor' || fail "orvik-monitor --help"
[ "$("$root/usr/bin/orvikctl" --version)" = "orvikctl $version" ] || fail "orvikctl --version"
"$root/usr/bin/orvik-sim" --help | grep -q '^Usage: orvik-sim' || fail "orvik-sim --help"
echo "install tree under a temporary prefix: ${#expected[@]} files as expected, validators passed"
