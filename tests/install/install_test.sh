#!/bin/sh
# Installing into a staging folder puts the programs, their data and the
# desktop entry in place. $1: the build folder.
set -e
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" --prefix /opt/pelmar-video-converter > /dev/null
prefix=$stage/opt/pelmar-video-converter
for f in pelmar-video-converter pelmar-convert pelmar-preview Config.ini oem.ini \
         language/en.dat skin/skin_en.skin help/index.html; do
  [ -e "$prefix/$f" ] || { echo "missing: $f" >&2; exit 1; }
done
[ -x "$prefix/pelmar-video-converter" ] || { echo "not runnable" >&2; exit 1; }
[ -d "$prefix/plugin" ] || { echo "missing: plugin/" >&2; exit 1; }
[ -f "$stage/usr/share/applications/pelmar-video-converter.desktop" ] || { echo "no desktop entry" >&2; exit 1; }
[ -f "$stage/usr/share/icons/hicolor/scalable/apps/pelmar-video-converter.svg" ] || { echo "no icon" >&2; exit 1; }
[ "$(readlink "$stage/usr/local/bin/pelmar-convert")" = "/opt/pelmar-video-converter/pelmar-convert" ] ||
  { echo "no command on the PATH" >&2; exit 1; }
# The installed front end runs from its new place.
HOME=$stage/home XDG_DATA_HOME=$stage/data XDG_CONFIG_HOME=$stage/config TMPDIR=$stage \
  "$prefix/pelmar-convert" --help > /dev/null
echo "installed tree complete"
