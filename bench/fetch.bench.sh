#!/usr/bin/env bash
# One velfetch run that ends in a catalogue hit against the loopback stand-in,
# against curl fetching the same URLs one after another in one run.
# Goals: velfetch's wall time at most 1.3x curl's; its peak RSS at most 1.15x curl's.
set -euo pipefail
source "$(dirname "$0")/fetch_app.sh"
build=$(cd "${1:-build}" && pwd)
runs=${FETCH_BENCH_RUNS:-20}
bench_start fetch-bench "/usr/bin/time curl" "$build/bin/velfetch" "$build/bin/libvbmp3.so" "$build/tools/velstandin"

fetch_app "$build" "$tmp"

"$build/tools/velstandin" --log "$tmp/requests.log" --results 3 --pages 1 --max-seconds 300 > "$tmp/standin.out" &
standin_pid=$!
port=$(standin_port fetch.bench)
proxy="http://127.0.0.1:$port"

unset no_proxy NO_PROXY all_proxy ALL_PROXY
export http_proxy="$proxy"
app="$tmp/app/velfetch"
track="\"$tmp/track.mp3\""

# The URLs of one run, in order, for curl.
: > "$tmp/requests.log"
timeout 120 "$app" "$track"
[ -s "$tmp/app/temp.jpg" ] || { echo "fetch.bench: velfetch found no cover" >&2; exit 1; }
mapfile -t urls < <(awk '{print $2}' "$tmp/requests.log")
curl_args=()
for u in "${urls[@]}"; do curl_args+=(-o /dev/null "$u"); done

# Wall time: interleaved runs without wrappers, so that both see the same machine load.
fetch_us=0; curl_us=0; empty_us=0
for _ in $(seq "$runs"); do
  rm -f "$tmp/app/temp.jpg" "$tmp/app/asin"
  fetch_us=$(( fetch_us + $(elapsed_us "$app" "$track") ))
  [ -s "$tmp/app/temp.jpg" ] || { echo "fetch.bench: velfetch found no cover" >&2; exit 1; }
  curl_us=$(( curl_us + $(elapsed_us curl -s -A velbot "${curl_args[@]}") ))
  empty_us=$(( empty_us + $(elapsed_us "$app") ))
done

fetch_rss=$(peak_kb "$app" "$track")
curl_rss=$(peak_kb curl -s -A velbot "${curl_args[@]}")
empty_rss=$(peak_kb "$app")

echo "fetch: ${#urls[@]} requests per run (probe, page 1, image); $runs runs each"
awk -v f="$fetch_us" -v c="$curl_us" -v e="$empty_us" -v n="$runs" -v fr="$fetch_rss" -v cr="$curl_rss" -v er="$empty_rss" 'BEGIN {
  printf "fetch: velfetch %.1f ms per run, peak RSS %d KB\n", f / n / 1000, fr
  printf "fetch: curl     %.1f ms per run, peak RSS %d KB\n", c / n / 1000, cr
  printf "fetch: velfetch start-up alone (empty command line: decoder library loaded, no request) %.1f ms, peak RSS %d KB\n", e / n / 1000, er
  ratio = f / c
  printf "fetch: wall-time ratio velfetch / curl = %.2f (goal <= 1.30): %s\n", ratio, ratio <= 1.3 ? "met" : "MISSED"
  rss = (cr > 0) ? fr / cr : 0
  verdict = (cr > 0 && rss <= 1.15) ? "met" : "MISSED"
  printf "fetch: peak RSS ratio velfetch / curl = %.2f (goal <= 1.15): %s\n", rss, verdict
}'
