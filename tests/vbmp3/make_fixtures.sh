#!/usr/bin/env bash
# Encodes the MP3 fixtures of the decoder tests from synthetic audio.
#   make_fixtures.sh TONEGEN OUTDIR
set -euo pipefail
tonegen=$1
out=$2
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$tonegen" 3 44100 2 > "$tmp/s3.wav"
"$tonegen" 8 44100 2 > "$tmp/s8.wav"
"$tonegen" 4 22050 1 > "$tmp/m4.wav"

enc() { lame --quiet --noreplaygain "$@"; }
enc -b 128 "$tmp/s3.wav" "$tmp/cbr.mp3"                 # CBR with an Info header
enc -V 4 "$tmp/s8.wav" "$tmp/vbr_xing.mp3"              # VBR with a Xing header
enc -V 4 -t "$tmp/s8.wav" "$tmp/vbr_noxing.mp3"         # VBR, no header at all
enc -V 6 -m m "$tmp/m4.wav" "$tmp/mpeg2_mono.mp3"       # MPEG-2, 22.05 kHz mono
enc -b 128 --add-id3v2 --pad-id3v2-size 512 \
    --tt "Id3 Title" --ta "Id3 Artist" --tl "Id3 Album" --ty 2001 --tc "note" \
    --tn 7 --tg Rock "$tmp/s3.wav" "$tmp/id3v2_v1.mp3"   # ID3v2 header and ID3v1 tag
mv "$tmp"/*.mp3 "$out"/
