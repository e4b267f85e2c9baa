#!/usr/bin/env bash
# The whole cover road offline. A loopback stand-in of the catalogue service,
# the search engine and the store serves a catalogue of our own demo cover; the
# player reaches it through http_proxy, so the demo track's cover fades in, and
# a double-click shows the stand-in's product page. The stand-in ends with the
# player.
#
#   run_demo.sh BUILD_DIR [TRACK.mp3]
#
# VEL_DEMO_MAX_SECONDS: the stand-in's own time limit (default 3600).
set -euo pipefail

say() { printf 'velmora demo: %s\n' "$*" >&2; }

build=$(cd "${1:?usage: run_demo.sh BUILD_DIR [TRACK.mp3]}" && pwd)
share=$build/share/demo
track=${2:-$share/velmora-demo.mp3}
player=$build/bin/velplay
standin=$build/tools/velstandin
cover=$share/velmora-demo-cover.jpg
asin=B0VELMORA1

for f in "$player" "$standin" "$track"; do
  [ -e "$f" ] || { say "$f is missing (make build makes it)"; exit 1; }
done
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  say "no display: start it from a desktop session (DISPLAY is not set)"
  exit 1
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/velmora-demo.XXXXXX")
standin_pid=
player_pid=
cleanup() {
  if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null || true; fi
  if [ -n "$standin_pid" ]; then
    kill "$standin_pid" 2>/dev/null || true
    wait "$standin_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# The catalogue: one album holding the demo track, with the cover drawn at build time.
album="$asin|ベルモラ楽団|Velmora デモ|朝の散歩"
if [ -f "$cover" ]; then
  album+="|$cover"
else
  say "no demo cover at $cover: the stand-in's default cover is shown"
fi
# No product link on the search page: a track outside the catalogue gets no cover.
# It also ends by itself should this script be killed. Its output file exists before
# it starts, so that the wait below never reads a file the child has yet to create.
: >"$tmp/standin.out"
"$standin" --port 0 --album "$album" --engine-link '' --log "$tmp/standin.log" \
  --watch-pid $$ --max-seconds "${VEL_DEMO_MAX_SECONDS:-3600}" >"$tmp/standin.out" &
standin_pid=$!

port=
for _ in $(seq 2400); do # up to a minute on a busy machine
  port=$(sed -n 's/^port \([0-9][0-9]*\)$/\1/p' "$tmp/standin.out")
  [ -n "$port" ] && break
  kill -0 "$standin_pid" 2>/dev/null || break
  sleep 0.025
done
if [ -z "$port" ]; then
  say "the stand-in did not start"
  exit 1
fi
proxy=http://127.0.0.1:$port

# Browsers do not go through http_proxy: the player's xdg-open is a wrapper
# that fetches store pages through the stand-in into a file and shows that.
# The player silences what its opener prints, so the wrapper speaks to this
# script's own standard error.
mkdir "$tmp/bin"
{
  echo '#!/usr/bin/env bash'
  printf 'proxy=%q pages=%q real=%q say=%q\n' "$proxy" "$tmp" "$(command -v xdg-open || true)" "/proc/$$/fd/2"
  cat <<'WRAPPER'
# Store pages of the Velmora demo come from its stand-in, saved as a file that
# the real xdg-open shows; anything else goes to the real xdg-open unchanged.
say() { echo "$*" >>"$say" 2>/dev/null; }
if [ $# -eq 1 ] && [[ $1 == http://www.amazon.co.jp/* ]]; then
  page=$(mktemp --suffix=.html "$pages/store-page.XXXXXX") || exit 1
  if ! curl -sS --noproxy '' -x "$proxy" --max-time 10 -o "$page" "$1"; then
    say "velmora demo: the stand-in did not answer for $1"
    exit 1
  fi
  say "velmora demo: store page $1 saved as $page"
  [ -n "$real" ] && exec "$real" "$page"
  say "velmora demo: no xdg-open to show it; open $page in a browser (it goes when the demo ends)"
  exit 0
fi
if [ -z "$real" ]; then
  say "xdg-open: not installed"
  exit 3
fi
exec "$real" "$@"
WRAPPER
} >"$tmp/bin/xdg-open"
chmod +x "$tmp/bin/xdg-open"

# The demo keeps state of its own: a cache folder and a runtime folder in its
# temporary folder, so that it never reads or writes the user's answer cache,
# pace files or cover copy. Its runtime folder links everything else the
# user's holds (the display's and the sound server's sockets, the session
# bus), so the player still reaches the desktop.
mkdir -m 700 "$tmp/cache" "$tmp/run"
if [ -d "${XDG_RUNTIME_DIR:-}" ]; then
  for entry in "$XDG_RUNTIME_DIR"/*; do
    if [ -e "$entry" ] && [ "${entry##*/}" != velmora ]; then ln -s "$entry" "$tmp/run/"; fi
  done
fi

say "stand-in on $proxy (requests: $tmp/standin.log); starting the player"
[ "$track" -ef "$share/velmora-demo.mp3" ] ||
  say "only the demo track is in the demo catalogue: $track gets no cover"
# https_proxy too: a track outside the demo catalogue makes the fetcher ask the
# open catalogues over HTTPS, and the stand-in refuses those tunnels, so the
# demo never reaches the internet.
env -u no_proxy -u NO_PROXY -u HTTPS_PROXY http_proxy="$proxy" https_proxy="$proxy" PATH="$tmp/bin:$PATH" \
  XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/run" "$player" "$track" &
player_pid=$!
status=0
wait "$player_pid" || status=$?
player_pid=
exit "$status"
