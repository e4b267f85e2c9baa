#!/usr/bin/env bash
# One velfetch run that ends in a MusicBrainz hit on loopback (the catalogue
# and the search engine answering "nothing"; MusicBrainz, the Cover Art Archive
# and its storage host stood in for over HTTPS through the proxy settings),
# against curl making the same requests in the same order in one run.
# MusicBrainz allows one request a second: velfetch waits 1 s between its two
# requests there, and curl sleeps 1 s at the same point; the ratio is given
# with that pause counted for both and without it.
# Goal: velfetch's wall time at most 1.3x curl's. Peak RSS is reported.
set -euo pipefail
source "$(dirname "$0")/fetch_app.sh"
build=$(cd "${1:-build}" && pwd)
runs=${OPEN_FETCH_BENCH_RUNS:-10}
certs=$build/tools/certs
bench_start open-fetch-bench "/usr/bin/time curl convert" "$build/bin/velfetch" "$build/bin/libvbmp3.so" "$build/tools/velstandin" "$certs/ca.pem"

fetch_app "$build" "$tmp"
# The Cover Art Archive's 250 px size: velfetch scales it to 179 px. Not named "cover.jpg":
# a picture of that name beside the track would be taken before any catalogue is asked.
convert -size 250x250 gradient:'#ffe2a8-#5b7fa3' -quality 90 "$tmp/release-front.jpg"
release=0b0b0b0b-2222-4333-8444-555555555555

"$build/tools/velstandin" --log "$tmp/requests.log" --results 0 --engine-link '' \
  --tls-cert "$certs/server.pem" --tls-key "$certs/server.key" \
  --open-track "Bench Artist|Bench Title|$release|B00BENCH01|front|$tmp/release-front.jpg" \
  --max-seconds 600 --watch-pid $$ > "$tmp/standin.out" &
standin_pid=$!
port=$(standin_port open_fetch.bench)

unset no_proxy NO_PROXY all_proxy ALL_PROXY HTTPS_PROXY SSL_CERT_FILE
export http_proxy="http://127.0.0.1:$port" https_proxy="http://127.0.0.1:$port" CURL_CA_BUNDLE="$certs/ca.pem"
app="$tmp/app/velfetch"
track="\"$tmp/track.mp3\""
fresh_session

# The requests of one run, in order, for curl (each with velfetch's agent
# string for its scheme), with a 1 s pause before each later MusicBrainz request.
: > "$tmp/requests.log"
timeout 120 "$app" "$track"
[ "$(cat "$tmp/app/asin")" = B00BENCH01 ] || { echo "open_fetch.bench: velfetch found no MusicBrainz cover" >&2; exit 1; }
mapfile -t urls < <(awk '$1 == "GET" {print $2}' "$tmp/requests.log")
agent="velbot/1.00 ( https://velmora.example.jp/ )"
groups=() group=() mb=0
for u in "${urls[@]}"; do
  if [[ $u == https://musicbrainz.org/* ]]; then
    mb=$((mb + 1))
    if [ $mb -gt 1 ]; then groups+=("${group[*]@Q}"); group=(); fi
  fi
  [ ${#group[@]} -gt 0 ] && group+=(--next)
  if [[ $u == https://* ]]; then group+=(-s -A "$agent" -o /dev/null "$u"); else group+=(-s -A velbot -o /dev/null "$u"); fi
done
groups+=("${group[*]@Q}")
pauses=$((mb - 1))
curl_run() {
  local first=1 g
  for g in "${groups[@]}"; do
    [ $first -eq 1 ] || sleep 1
    first=0
    eval "curl $g"
  done
}

fetch_us=0; curl_us=0
for _ in $(seq "$runs"); do
  rm -f "$tmp/app/temp.jpg" "$tmp/app/asin"; fresh_session
  fetch_us=$(( fetch_us + $(elapsed_us "$app" "$track") ))
  [ -s "$tmp/app/temp.jpg" ] || { echo "open_fetch.bench: velfetch found no cover" >&2; exit 1; }
  curl_us=$(( curl_us + $(elapsed_us curl_run) ))
done

fetch_rss=$(peak_kb "$app" "$track")
curl_rss=0
for g in "${groups[@]}"; do
  r=$(eval "peak_kb curl $g"); [ "$r" -gt "$curl_rss" ] && curl_rss=$r
done

echo "open-fetch: ${#urls[@]} requests per run (catalogue, search engine, MusicBrainz search, release lookup, Cover Art Archive, its storage), $runs runs each"
awk -v f="$fetch_us" -v c="$curl_us" -v n="$runs" -v p="$pauses" -v fr="$fetch_rss" -v cr="$curl_rss" 'BEGIN {
  pause = p * 1000000
  printf "open-fetch: velfetch %.1f ms per run (%.1f ms without the %d s pause), peak RSS %d KB\n", f / n / 1000, (f / n - pause) / 1000, p, fr
  printf "open-fetch: curl     %.1f ms per run (%.1f ms without the %d s pause), peak RSS %d KB\n", c / n / 1000, (c / n - pause) / 1000, p, cr
  printf "open-fetch: wall-time ratio velfetch / curl = %.2f with the pause, %.2f without it (goal <= 1.30): %s\n",
         f / c, (f / n - pause) / (c / n - pause), (f / n - pause) / (c / n - pause) <= 1.3 ? "met" : "MISSED"
}'
