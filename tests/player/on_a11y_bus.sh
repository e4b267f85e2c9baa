#!/bin/sh
# Runs a test program with Qt's accessibility bridge switched on: a private
# session bus with the desktop's accessibility bus launcher on it (Qt waits for
# the launcher's name on the bus and never starts one itself), in a private
# runtime folder, where that bus puts its socket. Exit code 77 (skipped) where
# the tools are missing.
launcher=/usr/libexec/at-spi-bus-launcher
if ! command -v dbus-run-session >/dev/null 2>&1 || [ ! -x "$launcher" ]; then
  echo "SKIPPED: dbus-run-session or $launcher is missing (Debian packages dbus, at-spi2-core)"
  exit 77
fi
runtime=$(mktemp -d "${TMPDIR:-/tmp}/velmora-a11y.XXXXXX") || exit 1
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
dbus-run-session -- sh -c '
  "$0" --launch-immediately & launcher=$!
  "$@"; rc=$?
  kill "$launcher" 2>/dev/null; wait "$launcher" 2>/dev/null
  exit $rc' "$launcher" "$@"
