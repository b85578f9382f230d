#!/usr/bin/env bash
# Fails when a source or header of orvik-monitor includes a POSIX header outside `#ifndef _WIN32`
# (or `#if !defined(_WIN32)`), so that what ships keeps building on Windows.
#   scripts/check-portable.sh [BUILD_DIR]   the files orvik-monitor is built from, as the build
#                                           recorded them (a Ninja build, default build/ci)
#   scripts/check-portable.sh --files F...  these files
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--files" ]; then
  shift
  files=("$@")
else
  build=${1:-build/ci}
  [ -f "$build/build.ninja" ] || { echo "check-portable: no Ninja build in $build" >&2; exit 2; }
  src=$(pwd)/src
  # The sources linked into the program, then every header of ours their objects included.
  sources=$(ninja -C "$build" -t inputs src/orvik-monitor | grep -E "\.(cpp|h)$")
  [ -n "$sources" ] || { echo "check-portable: orvik-monitor has no sources in $build" >&2; exit 2; }
  mapfile -t files < <(
    ninja -C "$build" -t deps | awk -v sources="$sources" -v src="$src" -v gen="$(cd "$build" && pwd)/src/generated" '
      BEGIN { n = split(sources, list, "\n"); for (i = 1; i <= n; i++) wanted[list[i]] = 1 }
      /^[^ ].*: #deps/ { first = 1; keep = 0; next }
      /^    / {
        f = $1
        if (first) { keep = (f in wanted); first = 0 }
        if (keep && (index(f, src "/") == 1 || index(f, gen "/") == 1)) print f
      }' | sort -u)
  [ ${#files[@]} -gt 0 ] || { echo "check-portable: no dependency log in $build (build it first)" >&2; exit 2; }
fi

posix='^(unistd|fcntl|termios|termio|pty|poll|pwd|grp|dirent|dlfcn|pthread|semaphore|netdb|getopt|libgen|syslog|spawn|utmp|utmpx|strings|glob|fnmatch|regex|sched|aio|mqueue|utime|wordexp|ftw|err|execinfo|ifaddrs|langinfo|nl_types|iconv)\.h$|^(sys|netinet|arpa|linux|asm|net)/'

awk -v posix="$posix" '
  FNR == 1 { depth = 0 }
  # A stack of open conditionals: 1 where the branch is the non-Windows one.
  /^[ \t]*#[ \t]*if/ {
    depth++
    guarded[depth] = ($0 ~ /^[ \t]*#[ \t]*ifndef[ \t]+_WIN32/ || $0 ~ /^[ \t]*#[ \t]*if[ \t]+!defined[ \t(]+_WIN32/)
    next
  }
  /^[ \t]*#[ \t]*(else|elif)/ { if (depth > 0) guarded[depth] = 0; next }
  /^[ \t]*#[ \t]*endif/ { if (depth > 0) depth--; next }
  /^[ \t]*#[ \t]*include[ \t]*</ {
    header = $0
    sub(/^[^<]*</, "", header)
    sub(/>.*/, "", header)
    if (header !~ posix) next
    for (i = 1; i <= depth; i++) if (guarded[i]) next
    printf "%s:%d: POSIX header <%s> outside #ifndef _WIN32\n", FILENAME, FNR, header
    bad = 1
  }
  END { exit bad }
' "${files[@]}" || { echo "check-portable: orvik-monitor must build without POSIX headers on Windows" >&2; exit 1; }
echo "check-portable: ${#files[@]} files of orvik-monitor include POSIX headers only under #ifndef _WIN32"
