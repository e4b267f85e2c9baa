#!/usr/bin/env bash
# The open catalogues with far-away servers: velfetch's wall time from start to
# end, each beside its floor (the round trips its requests cannot avoid), with
# the stand-in answering each host late: the catalogue 50 ms, the search
# engine 100 ms, MusicBrainz 150 ms, the Cover Art Archive 300 ms, its storage
# 500 ms, iTunes 100 ms and its artwork 50 ms.
# - built-in steps alone: the open catalogues refuse at once (floor 50 + 100 ms);
# - a cache hit: the answer kept from an earlier run (same floor: no request
#   leaves for the open catalogues);
# - a MusicBrainz hit, nothing kept, a fresh session (floor: the built-in steps,
#   the search, then the longer of the cover's two round trips and the 1 s
#   pause plus the release lookup).
# Goals: a cache hit within 50 ms of the built-in steps alone; a MusicBrainz
# hit at most 1.2x its floor. VELFETCH=path times another build's velfetch.
set -euo pipefail
source "$(dirname "$0")/fetch_app.sh"
build=$(cd "${1:-build}" && pwd)
runs=${OPEN_COVER_BENCH_RUNS:-5}
certs=$build/tools/certs
bench_start open-cover-bench "convert" "$build/bin/velfetch" "$build/bin/libvbmp3.so" "$build/tools/velstandin" "$certs/ca.pem"

fetch_app "$build" "$tmp"
[ -n "${VELFETCH:-}" ] && cp "$VELFETCH" "$tmp/app/velfetch"
# Not named "cover.jpg": a picture of that name beside the track would be taken
# before any catalogue is asked.
convert -size 250x250 gradient:'#ffe2a8-#5b7fa3' -quality 90 "$tmp/release-front.jpg"
release=0b0b0b0b-2222-4333-8444-555555555555

"$build/tools/velstandin" --log "$tmp/requests.log" --log-times on --results 0 --engine-link '' \
  --tls-cert "$certs/server.pem" --tls-key "$certs/server.key" \
  --open-track "Bench Artist|Bench Title|$release|B00BENCH01|front|$tmp/release-front.jpg" \
  --delay xml.amazon.co.jp=50 --delay www.google.co.jp=100 --delay musicbrainz.org=150 \
  --delay coverartarchive.org=300 --delay archive.org=500 --delay itunes.apple.com=100 \
  --delay is1-ssl.mzstatic.com=50 --max-seconds 600 --watch-pid $$ > "$tmp/standin.out" &
standin_pid=$!
port=$(standin_port open_cover.bench)

unset no_proxy NO_PROXY all_proxy ALL_PROXY HTTPS_PROXY SSL_CERT_FILE
export http_proxy="http://127.0.0.1:$port" https_proxy="http://127.0.0.1:$port" CURL_CA_BUNDLE="$certs/ca.pem"
app="$tmp/app/velfetch"
track="\"$tmp/track.mp3\""

hit() { [ "$(cat "$tmp/app/asin" 2>/dev/null)" = B00BENCH01 ] && [ -s "$tmp/app/temp.jpg" ] ||
  { echo "open_cover.bench: velfetch found no MusicBrainz cover" >&2; exit 1; }; }

builtin_us=0; cached_us=0; mb_us=0
for _ in $(seq "$runs"); do
  fresh_session
  builtin_us=$(( builtin_us + $(https_proxy=http://127.0.0.1:9 elapsed_us "$app" "$track") ))
  rm -f "$tmp/app/temp.jpg" "$tmp/app/asin"
  fresh_session # the refused attempt above counts in MusicBrainz's pace
  mb_us=$(( mb_us + $(elapsed_us "$app" "$track") )); hit
  rm -f "$tmp/app/temp.jpg" "$tmp/app/asin"
  cached_us=$(( cached_us + $(elapsed_us "$app" "$track") )); hit
done

# The requests of one MusicBrainz hit, with their arrival times.
fresh_session; : > "$tmp/requests.log"; "$app" "$track"
echo "open-cover: one MusicBrainz hit asks (arrival in ms after the first request):"
awk '$1 == "GET" { if (!t0) t0 = $4; printf "open-cover:   %6.0f  %s\n", ($4 - t0) * 1000, $2 }' "$tmp/requests.log"

awk -v b="$builtin_us" -v c="$cached_us" -v m="$mb_us" -v n="$runs" 'BEGIN {
  builtin_floor = 50 + 100
  mb_floor = builtin_floor + 150 + ((300 + 500) > (1000 + 150) ? (300 + 500) : (1000 + 150))
  b /= n * 1000; c /= n * 1000; m /= n * 1000
  printf "open-cover: built-in steps alone %7.1f ms   floor %5d ms\n", b, builtin_floor
  printf "open-cover: cache hit            %7.1f ms   floor %5d ms   %+.1f ms beside the built-in steps (goal <= 50): %s\n",
         c, builtin_floor, c - b, c - b <= 50 ? "met" : "MISSED"
  printf "open-cover: MusicBrainz hit      %7.1f ms   floor %5d ms   %.2fx its floor (goal <= 1.20): %s\n",
         m, mb_floor, m / mb_floor, m / mb_floor <= 1.2 ? "met" : "MISSED"
}'
