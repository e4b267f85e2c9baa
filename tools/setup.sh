#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Quick when everything is present: apt-get runs only for missing packages.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev pkg-config
  googletest libgtest-dev
  qt6-base-dev libxcb1-dev libmpg123-dev libsdl2-dev libcurl4-openssl-dev libcpp-httplib-dev zlib1g-dev libtag1-dev
  nlohmann-json3-dev libutf8proc-dev libturbojpeg0-dev libjpeg62-turbo-dev libpng-dev libstb-dev libssl-dev openssl
  fonts-ipafont-gothic
  lame python3 python3-mutagen mpg123 ffmpeg
  xvfb xdotool imagemagick x11-utils x11-apps desktop-file-utils
  librsvg2-bin fp-utils
  libqt6svg6 qt6-translations-l10n qt6-wayland
  time curl
  dbus playerctl at-spi2-core
  scdoc dpkg-dev lintian appstream
)

# The sound-server tests start a PulseAudio server of their own. A desktop whose
# sound server is PipeWire keeps it: a second server would fight it for the
# user's socket at the next login.
if [ "${CI:-}" = "true" ] || ! dpkg-query -W -f='${Status}' pipewire-pulse 2>/dev/null | grep -q "install ok installed"; then
  packages+=(pulseaudio pulseaudio-utils)
fi

# What a desktop user needs to open the help file and web pages; CI has no use
# for them (they pull in a whole GUI toolkit), so it skips them.
if [ "${CI:-}" != "true" ]; then
  packages+=(xdg-utils xchm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
