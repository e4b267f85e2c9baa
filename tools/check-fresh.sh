#!/usr/bin/env bash
# Clones the repository into a temporary folder and runs the commands of the README's
# "The two commands" block there, exactly as written, as a newcomer would. `make run`
# runs headless (Xvfb, silent audio) and passes when the player's window shows the
# demo track's "artist - title" and is still alive a few seconds later.
#
#   tools/check-fresh.sh [COMMAND...]     e.g. tools/check-fresh.sh "make run"
# With no arguments every command of the block runs, in the README's order.
# Reports the time of each command; keeps the clone only when something failed.
set -uo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
run_wait=${CHECK_FRESH_RUN_WAIT:-3600}   # seconds for make run to build and show the window

commands=()
if [ $# -gt 0 ]; then
  commands=("$@")
else
  # The fenced block after the "## The two commands" heading; comments dropped.
  mapfile -t commands < <(awk '
    /^## The two commands/ { want = 1; next }
    want && /^```/ { if (inside) exit; inside = 1; next }
    inside { sub(/[ \t]*#.*/, ""); if ($0 != "") print }' "$repo/README.md")
fi
if [ ${#commands[@]} -eq 0 ]; then
  echo "check-fresh: no commands found in README.md" >&2
  exit 2
fi

work="$(mktemp -d /tmp/velmora-fresh.XXXXXX)"
clone="$work/velmora"
log="$work/log"
mkdir -p "$log"
echo "check-fresh: cloning $repo into $clone"
git clone --quiet "$repo" "$clone" || { echo "check-fresh: clone failed" >&2; exit 1; }
cd "$clone" || exit 1

expected="$(python3 -c 'import sys; sys.path.insert(0, "tools/demo"); import make_demo_track as g; print(g.TAG_ARTIST + " - " + g.TAG_TITLE)')"

# Runs `make run` (or any command that starts the player) under Xvfb; passes when the
# window titled $expected appears and the player still runs 3 s later.
headless_run() {
  local cmd="$1" out="$2"
  command -v Xvfb >/dev/null || bash tools/setup.sh
  local runtime; runtime="$(mktemp -d "$work/runtime.XXXXXX")"
  XDG_RUNTIME_DIR="$runtime" SDL_AUDIODRIVER=dummy CHECK_CMD="$cmd" EXPECTED="$expected" \
  WAIT="$run_wait" SHOT="$work/make-run.png" \
  "$repo/tools/with-xvfb" --screen 800x600x24 -- bash -c '
    setsid bash -c "$CHECK_CMD" &
    pid=$!
    found=
    for ((i = 0; i < WAIT * 2; i++)); do
      if xwininfo -root -tree 2>/dev/null | grep -qF "\"$EXPECTED\""; then found=1; break; fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.5
    done
    status=1
    if [ -n "$found" ]; then
      sleep 3
      if kill -0 "$pid" 2>/dev/null; then
        status=0
        command -v import >/dev/null && import -window root "$SHOT" 2>/dev/null
        echo "check-fresh: window \"$EXPECTED\" shown; player still running"
      else
        echo "check-fresh: the player ended within 3 s of showing its window"
      fi
    elif kill -0 "$pid" 2>/dev/null; then
      echo "check-fresh: no window \"$EXPECTED\" within $WAIT s"
    else
      wait "$pid"; echo "check-fresh: the command ended (exit $?) before the window appeared"
    fi
    kill -TERM -- "-$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    exit $status' >"$out" 2>&1
}

failed=0
summary=()
total_start=$(date +%s)
for cmd in "${commands[@]}"; do
  name="$(echo "$cmd" | tr -c 'a-zA-Z0-9\n' '-')"
  out="$log/$name.txt"
  echo "check-fresh: \$ $cmd"
  start=$(date +%s)
  case "$cmd" in
    "make run"|"make run "*|*velplay*) headless_run "$cmd" "$out" ;;
    *) bash -c "$cmd" >"$out" 2>&1 ;;
  esac
  status=$?
  secs=$(( $(date +%s) - start ))
  if [ $status -eq 0 ]; then verdict=ok; else verdict="FAILED (exit $status)"; failed=1; fi
  summary+=("$(printf '%-12s %6d s  %s' "$cmd" "$secs" "$verdict")")
  echo "check-fresh:   $verdict after ${secs} s (output: $out)"
  [ $status -eq 0 ] || tail -n 30 "$out" | sed 's/^/    /'
done
total=$(( $(date +%s) - total_start ))

echo
echo "check-fresh: summary (clone of $(git -C "$clone" rev-parse --short HEAD))"
printf '  %s\n' "${summary[@]}"
printf '  %-12s %6d s\n' "total" "$total"
[ -f "$work/make-run.png" ] && echo "  screenshot of make run: $work/make-run.png"
if [ $failed -eq 0 ]; then
  # Keep the logs and the screenshot, drop the clone with its builds.
  rm -rf "$clone"
  echo "check-fresh: passed (logs in $log)"
else
  echo "check-fresh: FAILED; the clone stays in $clone"
fi
exit $failed
