#!/bin/sh
# Runs a test program on a private session bus, so that it never meets the
# user's own players; exit code 77 (skipped) where the bus tools are missing.
if ! command -v dbus-run-session >/dev/null 2>&1; then
  echo "SKIPPED: dbus-run-session is not installed (Debian package dbus)"
  exit 77
fi
exec dbus-run-session -- "$@"
