#!/usr/bin/env bash
# The player's start-up and playback cost, each against a yardstick in the same run:
#  - time from launch to the first mapped window, and peak resident memory one
#    second later, against a bare Qt 6 widget program built with the benchmarks
#    (goals: at most 1.5x its time, at most 1.6x its memory);
#  - CPU time of the player process (all its threads) over 20 s of playback,
#    against `ffplay -nodisp` playing the same file beside it over the same 20 s
#    (so that both meet the same load from the rest of the machine); both play
#    through SDL's dummy audio driver in real time. Five rounds; the goal is
#    judged on the median ratio (goal: at most 0.80x).
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

# CPU time of a process's threads so far, in microseconds: the scheduler's own
# nanosecond account, where /proc/PID/stat counts in 10 ms ticks (the fall-back
# for a kernel without scheduler statistics).
ticks=$(getconf CLK_TCK)
cpu() {
  if [ -r "/proc/$1/schedstat" ]; then
    cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d\n", s / 1000 }'
  else
    awk -v t="$ticks" '{ printf "%d\n", ($14 + $15) * 1e6 / t }' "/proc/$1/stat"
  fi
}
rounds=5
for round in $(seq "$rounds"); do
  "$bin/velplay" "$tmp/tone.mp3" >/dev/null 2>&1 &
  ours=$!
  ffplay -nodisp -autoexit -loglevel quiet "$tmp/tone.mp3" >/dev/null 2>&1 &
  theirs=$!
  pids+=("$ours" "$theirs")
  sleep 2 # both past their start-up, playing
  o0=$(cpu "$ours"); t0=$(cpu "$theirs")
  sleep 20
  o1=$(cpu "$ours"); t1=$(cpu "$theirs")
  kill "$ours" "$theirs" 2>/dev/null || true
  wait "$ours" "$theirs" 2>/dev/null || true
  echo "$((o1 - o0)) $((t1 - t0))" >> "$tmp/playback"
done
awk '{ print $1 / $2 }' "$tmp/playback" | median > "$tmp/ratio"
awk -v r="$(cat "$tmp/ratio")" -v n="$rounds" '
  { printf "playback: round %d: CPU over 20 s: velplay %.3f s, ffplay -nodisp %.3f s beside it: ratio %.2f\n", NR, $1 / 1e6, $2 / 1e6, $1 / $2 }
  END { printf "playback: median ratio of %d rounds %.2f (goal <= 0.80): %s\n", n, r, r <= 0.8 ? "met" : "MISSED" }' "$tmp/playback"
