#!/usr/bin/env bash
# The player's start-up and playback cost, each against a yardstick in the same run:
#  - time from launch to the first mapped window, and peak resident memory one
#    second later, against a bare Qt 6 widget program built with the benchmarks
#    (goals: at most 1.5x its time, at most 1.6x its memory);
#  - CPU time (user + system) of the player process over 20 s of playback,
#    against `ffplay -nodisp` on the same file; both play through SDL's dummy
#    audio driver in real time (goal: at most 1.0x).
# Runs on a private Xvfb (tools/with-xvfb) without a window manager. ffplay comes
# from the Debian package ffmpeg, which this script installs when it may (root).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ -n "${XVFB_DISPLAY:-}" ] || exec "$here/../tools/with-xvfb" --screen 1024x768x24 -- bash "$0" "$@"
build=$(cd "${1:-build}" && pwd)
bin=$build/bin
for tool in lame; do
  command -v $tool >/dev/null || { echo "startup.bench: $tool is missing (make setup)" >&2; exit 1; }
done
for f in velplay libvbmp3.so bare_qt_window map_wait vbmp3_tonegen; do
  [ -x "$bin/$f" ] || [ -f "$bin/$f" ] || { echo "startup.bench: $bin/$f is missing (make bench builds it)" >&2; exit 1; }
done

tmp=$(mktemp -d /tmp/velplay-bench.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT

mkdir -m 700 "$tmp/run"
export DISPLAY=$XVFB_DISPLAY XDG_RUNTIME_DIR=$tmp/run QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy
# The cover fetcher that a loaded track starts finds no network: no traffic, a quick end.
export http_proxy=http://127.0.0.1:9 no_proxy=

# ---- start-up: 1 warm-up and 10 measured runs each, interleaved ----
results=$tmp/startup
for run in $(seq 0 10); do
  ours=$("$bin/map_wait" 1000 "$bin/velplay")
  theirs=$("$bin/map_wait" 1000 "$bin/bare_qt_window")
  [ "$run" -eq 0 ] && continue
  echo "ours $ours" >> "$results"
  echo "theirs $theirs" >> "$results"
done
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
om=$(awk '$1 == "ours" { print $2 }' "$results" | median)
tm=$(awk '$1 == "theirs" { print $2 }' "$results" | median)
orss=$(awk '$1 == "ours" { print $3 }' "$results" | median)
trss=$(awk '$1 == "theirs" { print $3 }' "$results" | median)
awk -v om="$om" -v tm="$tm" -v orss="$orss" -v trss="$trss" 'BEGIN {
  printf "startup: first window after %.1f ms (bare Qt window %.1f ms): ratio %.2f (goal <= 1.50)\n", om, tm, om / tm
  printf "startup: peak RSS %.1f MiB (bare Qt window %.1f MiB): ratio %.2f (goal <= 1.60)\n", orss / 1024, trss / 1024, orss / trss
}'

# ---- playback CPU over 20 s ----
if ! command -v ffplay >/dev/null; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    echo "startup.bench: installing ffmpeg for ffplay" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ffmpeg >/dev/null 2>&1 || true
  fi
fi
if ! command -v ffplay >/dev/null; then
  echo "startup.bench: playback part skipped: ffplay missing (Debian package ffmpeg)"
  exit 0
fi
"$bin/vbmp3_tonegen" 30 44100 2 > "$tmp/tone.wav"
lame --quiet -b 192 "$tmp/tone.wav" "$tmp/tone.mp3"

ticks=$(getconf CLK_TCK)
cpu() { awk '{ print $14 + $15 }' "/proc/$1/stat"; } # user + system, in clock ticks
# CPU seconds of a process from 2 s to 22 s after its start.
measure() {
  "$@" >/dev/null 2>&1 &
  local pid=$!
  pids+=("$pid")
  sleep 2
  local a; a=$(cpu "$pid")
  sleep 20
  local b; b=$(cpu "$pid")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk -v a="$a" -v b="$b" -v t="$ticks" 'BEGIN { printf "%.3f\n", (b - a) / t }'
}
ours=$(measure "$bin/velplay" "$tmp/tone.mp3")
theirs=$(measure ffplay -nodisp -autoexit -loglevel quiet "$tmp/tone.mp3")
awk -v o="$ours" -v t="$theirs" 'BEGIN {
  printf "playback: CPU over 20 s: velplay %.2f s, ffplay -nodisp %.2f s: ratio %s (goal <= 1.00)\n", o, t, (t > 0) ? sprintf("%.2f", o / t) : "n/a"
}'
