# Sourced by the fetch benchmarks: their checks and scratch folder, their
# application folder and track, and their two measures.

# Ends the benchmark NAME unless the TOOLS (one string) and FILES are there,
# then makes its scratch folder $tmp, removed on exit with the stand-in whose
# process the benchmark leaves in $standin_pid.
#   bench_start NAME "TOOLS" FILES...
bench_start() {
  local name=$1 tool f
  for tool in $2; do
    command -v "$tool" >/dev/null || { echo "$name: $tool is missing (make setup)" >&2; exit 1; }
  done
  shift 2
  for f in "$@"; do
    [ -e "$f" ] || { echo "$name: $f is missing (make bench builds it)" >&2; exit 1; }
  done
  tmp=$(mktemp -d "/tmp/$name.XXXXXX")
  standin_pid=
  trap bench_cleanup EXIT
}
# The port of the stand-in started in the background with its output in
# $tmp/standin.out; ends the benchmark NAME when it does not start.
#   port=$(standin_port NAME)
standin_port() {
  for _ in $(seq 100); do grep -q '^port ' "$tmp/standin.out" 2>/dev/null && break; sleep 0.05; done
  local port; port=$(awk '/^port /{print $2}' "$tmp/standin.out")
  [ -n "$port" ] || { echo "$1: the stand-in did not start" >&2; exit 1; }
  echo "$port"
}

# Each run in a user session of its own: private, empty cache and runtime
# folders, so that no run is answered from the cache of the one before, owes
# MusicBrainz a pause for it, or touches the user's own folders.
export XDG_CACHE_HOME XDG_RUNTIME_DIR
fresh_session() {
  XDG_CACHE_HOME="$tmp/user/cache" XDG_RUNTIME_DIR="$tmp/user/run"
  rm -rf "$tmp/user"; mkdir -p -m 700 "$tmp/user" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
}

bench_cleanup() { [ -n "${standin_pid:-}" ] && kill "$standin_pid" 2>/dev/null; rm -rf "$tmp"; }

# A private application folder with velfetch, the decoder library and the
# picture plug-in, and a track whose ID3v1 tag names the album.
#   fetch_app BUILD TMP    leaves TMP/app and TMP/track.mp3
fetch_app() {
  mkdir "$2/app"
  cp "$1/bin/velfetch" "$1/bin/libvbmp3.so" "$1/bin/libvelpictures.so" "$2/app/"
  python3 - "$2/track.mp3" <<'PY'
import sys
field = lambda s, n: s.encode().ljust(n, b"\0")[:n]
tag = b"TAG" + field("Bench Title", 30) + field("Bench Artist", 30) + field("Album", 30) + b"2004" + field("", 30) + bytes([17])
open(sys.argv[1], "wb").write(b"\x55" * 4096 + tag)
PY
}

# Wall time of one command, in microseconds.
elapsed_us() { local t0=$EPOCHREALTIME; "$@"; local t1=$EPOCHREALTIME; echo $(( ${t1/./} - ${t0/./} )); }

# Peak RSS of a command in KB: the highest of three runs ($tmp holds the record).
peak_kb() {
  local best=0 r
  for _ in 1 2 3; do
    /usr/bin/time -f '%M' -o "$tmp/rss" "$@" > /dev/null
    r=$(tail -n 1 "$tmp/rss"); [ "$r" -gt "$best" ] && best=$r
  done
  echo "$best"
}
