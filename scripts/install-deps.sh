#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing the converter needs.
# Does nothing when they are all present.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # transcoder and media libraries
  ffmpeg libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev
  libsdl2-dev
  # windows (Qt's CMake files of Gui and UiTools want the OpenGL headers)
  qt6-base-dev qt6-svg-dev qt6-tools-dev libgl-dev libqt6opengl6-dev
  # language files
  libgsf-1-dev
  # opening results, folders and help with the desktop's programs
  xdg-utils
  # the faces of the Chinese, Japanese, Korean and Arabic texts
  fonts-noto-cjk fonts-noto-core
  # tests, and xvfb-run for the player benchmarks
  libgtest-dev xvfb xauth
  # a compositing manager, for the windows that look different under one
  xcompmgr
  # a window manager and real pointer events, for the window moves on a desktop
  openbox xdotool
  # sources made by other programs than ffmpeg, for the tests
  mkvtoolnix x264 lame gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-bad gstreamer1.0-libav
  # fuzzing the file readers
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  sudo=sudo
else
  sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
