#!/usr/bin/env bash
# Runs each fuzz target for a short time from its seed corpus; fails on any finding.
# Memory is held near the programs' own bound, so that a picture or reply that
# blows up counts as a finding: no more than 128 MB in one allocation, nor
# 256 MB resident. The address sanitizer's quarantine of freed memory counts
# as resident, and what it held stays with the allocator: it is kept to 16 MB
# (256 by default), which holds a target under 200 MB for ten minutes.
set -euo pipefail
export ASAN_OPTIONS="quarantine_size_mb=16${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
build=${1:-build-fuzz}
seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for name in fuzz_extract_between fuzz_utf8_to_string fuzz_url_encode fuzz_open_replies fuzz_fit_cover \
            fuzz_own_cover fuzz_tag_fields fuzz_frame_scanner; do
  corpus="$work/$name"
  mkdir -p "$corpus"
  [ -d "$here/corpus/$name" ] && cp "$here/corpus/$name"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz: $name for ${seconds}s"
  (cd "$work" && "$build/fuzz/$name" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=256 -malloc_limit_mb=128 \
      -print_final_stats=1 \
      -artifact_prefix="$work/$name-" "$corpus" 2>"$work/$name.log") || {
    tail -n 40 "$work/$name.log"
    echo "fuzz: $name found a fault" >&2
    exit 1
  }
  grep -E 'stat::number_of_executed_units|Done' "$work/$name.log" | tail -n 2 || true
done
echo "fuzz: no findings"
