#!/usr/bin/env bash
# velfetch for a track that carries its own cover (a 600 x 600 JPEG in its
# ID3v2 tag; and one with cover.jpg beside it), from start to end, beside its
# floor: the same run for the same track without any picture. In every run the
# catalogue and the search engine answer "nothing" through the loopback
# stand-in, and the open catalogues' HTTPS proxy refuses every connection, so
# the floor is the fetcher's start, the built-in steps' own requests and its
# end (with two refused connections): what a track with its own cover cannot
# avoid, since the built-in steps come first. Medians of interleaved runs.
# Goal: each at most 50 ms above the floor.
# Also: what linking TagLib adds to the fetcher's start (a program that does
# nothing, with and without libtag loaded), and velfetch's start-up alone.
set -euo pipefail
source "$(dirname "$0")/fetch_app.sh"
build=$(cd "${1:-build}" && pwd)
runs=${OWN_COVER_BENCH_RUNS:-21}
# The system interpreter, which has the tagger (python3-mutagen).
py=/usr/bin/python3
$py -c 'import mutagen.id3' 2>/dev/null || { echo "own_cover.bench: python3-mutagen is missing (make setup)" >&2; exit 1; }
bench_start own-cover-bench "convert" "$build/bin/velfetch" "$build/bin/libvbmp3.so" "$build/tools/velstandin" \
  "$build/bin/bare_main" "$build/bin/bare_main_taglib"

fetch_app "$build" "$tmp"
# Each track in a folder of its own: a picture beside one must not serve another.
mkdir "$tmp/plain" "$tmp/embedded" "$tmp/beside"
for d in plain embedded beside; do cp "$tmp/track.mp3" "$tmp/$d/"; done
convert -size 600x600 gradient:'#ffe2a8-#5b7fa3' -quality 90 "$tmp/cover.jpg"
cp "$tmp/cover.jpg" "$tmp/beside/cover.jpg"
$py - "$tmp/embedded/track.mp3" "$tmp/cover.jpg" <<'PY'
import sys
from mutagen.id3 import ID3, APIC
tag = ID3()
tag.add(APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=open(sys.argv[2], "rb").read()))
tag.save(sys.argv[1], v1=1) # keeps the ID3v1 tag
PY

"$build/tools/velstandin" --log "$tmp/requests.log" --results 0 --engine-link '' \
  --max-seconds 600 --watch-pid $$ > "$tmp/standin.out" &
standin_pid=$!
port=$(standin_port own_cover.bench)

unset no_proxy NO_PROXY all_proxy ALL_PROXY HTTPS_PROXY
# Nothing listens on port 1: the open catalogues' tunnels are refused before any exchange.
export http_proxy="http://127.0.0.1:$port" https_proxy="http://127.0.0.1:1"
app="$tmp/app/velfetch"

# Each kind once, checked.
for d in embedded beside plain; do
  rm -f "$tmp/app/temp.jpg"
  fresh_session
  : > "$tmp/requests.log"
  timeout 120 "$app" "\"$tmp/$d/track.mp3\""
  if [ $d = plain ]; then
    [ ! -e "$tmp/app/temp.jpg" ] || { echo "own_cover.bench: a cover for the track without one" >&2; exit 1; }
  else
    [ -s "$tmp/app/temp.jpg" ] || { echo "own_cover.bench: no cover saved for the $d picture" >&2; exit 1; }
    [ "$(cat "$tmp/app/asin")" = "" ] || { echo "own_cover.bench: asin not emptied for the $d picture" >&2; exit 1; }
  fi
done

: > "$tmp/times"
for _ in $(seq "$runs"); do
  for d in embedded beside plain; do
    rm -f "$tmp/app/temp.jpg" "$tmp/app/asin"
    fresh_session
    echo "$d $(elapsed_us "$app" "\"$tmp/$d/track.mp3\"")" >> "$tmp/times"
  done
  echo "start $(elapsed_us "$app")" >> "$tmp/times"
done
for _ in $(seq 100); do
  echo "bare $(elapsed_us "$build/bin/bare_main")" >> "$tmp/times"
  echo "taglib $(elapsed_us "$build/bin/bare_main_taglib")" >> "$tmp/times"
done

median() { awk -v k="$1" '$1 == k { print $2 }' "$tmp/times" | sort -n |
  awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
awk -v e="$(median embedded)" -v b="$(median beside)" -v p="$(median plain)" -v s="$(median start)" \
    -v bare="$(median bare)" -v tl="$(median taglib)" -v n="$runs" 'BEGIN {
  printf "own-cover: medians of %d runs each; floor: the same run for a track without any picture %.1f ms\n", n, p / 1000
  printf "own-cover: embedded cover %.1f ms, %+.1f ms over the floor (goal <= 50 ms): %s\n", e / 1000, (e - p) / 1000,
         e - p <= 50000 ? "met" : "MISSED"
  printf "own-cover: cover.jpg beside the track %.1f ms, %+.1f ms over the floor (goal <= 50 ms): %s\n", b / 1000,
         (b - p) / 1000, b - p <= 50000 ? "met" : "MISSED"
  printf "own-cover: velfetch start-up alone (empty command line) %.1f ms; TagLib loaded at a program start adds %.2f ms (%.2f ms bare, %.2f ms with libtag)\n",
         s / 1000, (tl - bare) / 1000, bare / 1000, tl / 1000
}'
