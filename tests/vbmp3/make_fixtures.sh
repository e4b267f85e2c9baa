#!/usr/bin/env bash
# Encodes the MP3 fixtures of the decoder tests from synthetic audio, builds
# the odd and the tagged ones from those (assemble_fixtures.py), and notes
# the seconds of audio ffmpeg decodes from each odd one in lengths.txt.
#   make_fixtures.sh TONEGEN OUTDIR
set -euo pipefail
tonegen=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$tonegen" 3 44100 2 > "$tmp/s3.wav"
"$tonegen" 8 44100 2 > "$tmp/s8.wav"
"$tonegen" 4 22050 1 > "$tmp/m4.wav"
"$tonegen" 3 44100 1 > "$tmp/m3.wav"
"$tonegen" 3 8000 1 > "$tmp/m3-8k.wav"

enc() { lame --quiet --noreplaygain "$@"; }
enc -b 128 "$tmp/s3.wav" "$tmp/cbr.mp3"                 # CBR with an Info header
enc -V 4 "$tmp/s8.wav" "$tmp/vbr_xing.mp3"              # VBR with a Xing header
enc -V 4 -t "$tmp/s8.wav" "$tmp/vbr_noxing.mp3"         # VBR, no header at all
enc -V 6 -m m "$tmp/m4.wav" "$tmp/mpeg2_mono.mp3"       # MPEG-2, 22.05 kHz mono
enc -b 128 --add-id3v2 --pad-id3v2-size 512 \
    --tt "Id3 Title" --ta "Id3 Artist" --tl "Id3 Album" --ty 2001 --tc "note" \
    --tn 7 --tg Rock "$tmp/s3.wav" "$tmp/id3v2_v1.mp3"   # ID3v2 header and ID3v1 tag
mv "$tmp"/*.mp3 "$out"/

# Raw material of the assembled fixtures: one encoding per channel mode,
# without an Info frame so that frames can be cut and joined.
for mode in stereo:s joint:j dual:d; do
  enc -b 128 -t -m "${mode#*:}" "$tmp/s3.wav" "$tmp/${mode%:*}_t.mp3"
done
enc -b 64 -t -m m "$tmp/m3.wav" "$tmp/mono_t.mp3"
enc -b 16 -m m "$tmp/m3-8k.wav" "$tmp/mpeg25_8k.mp3"
cp "$out/cbr.mp3" "$tmp/"
/usr/bin/python3 "$here/assemble_fixtures.py" "$tmp" "$out"

# Audio that is not MPEG audio, under an .mp3 name.
ff() { ffmpeg -nostdin -v quiet -y -i "$tmp/s3.wav" "$@"; }
ff -c:a flac -f flac "$out/not_flac.mp3"
ff -c:a libvorbis -f ogg "$out/not_ogg.mp3"
ff -c:a aac -f adts "$out/not_adts.mp3"
ff -c:a ac3 -f ac3 "$out/not_ac3.mp3"
ff -c:a wmav2 -f asf "$out/not_wma.mp3"

for f in "$out"/odd_*.mp3; do
  bytes=$(ffmpeg -nostdin -v quiet -i "$f" -f s16le -ac 1 -ar 48000 - | wc -c)
  echo "$(basename "$f") $(awk -v b="$bytes" 'BEGIN { printf "%.3f", b / 96000 }')"
done > "$out/lengths.txt"
