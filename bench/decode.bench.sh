#!/usr/bin/env bash
# Decoding speed of libvbmp3 against `mpg123 -t` on the same 5-minute file,
# the time vbmp3_open takes on a ~100 MB VBR file without a Xing header, and
# the time vbmp3_getFileTagInfoEX takes on a file with an ID3v1 tag and on one
# with only an ID3v2 tag (read through the TagLib plug-in).
# Goals: at least 0.95x mpg123's throughput; open within 0.1 s.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bin=$build/bin
for tool in lame mpg123; do
  command -v $tool >/dev/null || { echo "decode.bench: $tool is missing (make setup)" >&2; exit 1; }
done
tmp=$(mktemp -d /tmp/vbmp3-bench.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

"$bin/vbmp3_tonegen" 300 44100 2 > "$tmp/five.wav"
lame --quiet -V 2 "$tmp/five.wav" "$tmp/five.mp3"
lame --quiet -V 4 -t "$tmp/five.wav" "$tmp/noxing.mp3"
rm "$tmp/five.wav"
"$bin/vbmp3_tonegen" 10 44100 2 > "$tmp/ten.wav"
tags=(--tt "Bench Title" --ta "Bench Artist" --tl "Bench Album" --ty 2024 --tn 3 --tg Rock)
lame --quiet -b 128 --id3v1-only "${tags[@]}" "$tmp/ten.wav" "$tmp/id3v1.mp3"
lame --quiet -b 128 --id3v2-only "${tags[@]}" "$tmp/ten.wav" "$tmp/id3v2.mp3"

# Best of five runs each, interleaved so that both see the same machine load.
# CPU time (user + system) is the measure, as other work on the machine
# disturbs it least. mpg123 is timed as a whole process by the shell; for
# libvbmp3 both the decoding inside the driver (what a player pays per file)
# and the whole driver process (start-up and library loading included) are shown.
results=$tmp/results
TIMEFORMAT='%U %S %R'
for run in 1 2 3 4 5; do
  { time "$bin/decode_bench" decode "$tmp/five.mp3" > "$tmp/inner"; } 2> "$tmp/outer"
  echo "ours $(cat "$tmp/inner") $(cat "$tmp/outer")" >> "$results"
  { time mpg123 -q -t "$tmp/five.mp3"; } 2>&1 | awk '{print "theirs", $1 + $2, $3}' >> "$results"
done
awk '
  function least(v, m) { return (m == "" || v < m) ? v : m }
  $1 == "ours"   { audio = $2; inner = least($4, inner); outer = least($5 + $6, outer) }
  $1 == "theirs" { theirs = least($2, theirs) }
  END {
    printf "decode: %.0f s of audio; CPU seconds: libvbmp3 decoding %.3f (%.0fx real time), libvbmp3 driver process %.3f, mpg123 -t process %.3f (%.0fx real time)\n", audio, inner, audio / inner, outer, theirs, audio / theirs
    printf "decode: throughput ratio libvbmp3 / mpg123 = %.2f (decoding), %.2f (whole processes) (goal >= 0.95)\n", theirs / inner, theirs / outer
  }' "$results"

# About 100 MB of VBR frames without any Xing/VBRI header.
size=$(stat -c %s "$tmp/noxing.mp3")
copies=$(( (100 * 1024 * 1024 + size - 1) / size ))
for _ in $(seq "$copies"); do cat "$tmp/noxing.mp3"; done > "$tmp/big.mp3"
rm "$tmp/noxing.mp3"
bytes=$(stat -c %s "$tmp/big.mp3")
for run in 1 2 3; do
  read -r length secs < <("$bin/decode_bench" open "$tmp/big.mp3")
  printf 'open: %d MB VBR without Xing header, Length %d s (expected about %d s), vbmp3_open %s s (goal <= 0.1 s)\n' \
    $(( bytes / 1024 / 1024 )) "$length" $(( copies * 300 )) "$secs"
done

# A fresh process per run: the first call is what the fetcher pays.
for kind in id3v1 id3v2; do
  for run in 1 2 3; do
    read -r first best < <("$bin/decode_bench" tag "$tmp/$kind.mp3")
    awk -v k="$kind" -v f="$first" -v b="$best" 'BEGIN {
      printf "tag: %s file, vbmp3_getFileTagInfoEX first call %.2f ms, later calls %.3f ms\n", (k == "id3v1" ? "ID3v1" : "ID3v2-only"), f * 1000, b * 1000 }'
  done
done
