#!/usr/bin/env bash
# Engine overhead: N short clips through pelmar-convert against the same
# transcoder commands run one after another by this script, in one run.
# Prints both wall times and their ratio; the front end's final report delay
# (five seconds after the last file) is taken out of its time.
#
#   bash bench/engine/engine_overhead.sh [BUILD_DIR] [N]
set -euo pipefail
build=${1:-build}
count=${2:-8}
convert="$(cd "$build" && pwd)/bin/pelmar-convert"
[[ -x $convert ]] || { echo "no $convert: build first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Never the real user's folders.
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config TMPDIR=$work/tmp
mkdir -p "$HOME" "$TMPDIR" "$work/clips" "$work/by-script" "$work/progress"

clips=()
for i in $(seq 1 "$count"); do
  f=$work/clips/clip$i.mp4
  ffmpeg -nostdin -v error -f lavfi -i "testsrc=size=320x240:rate=25:duration=4" \
    -f lavfi -i "sine=frequency=440:duration=4" -c:v libx264 -preset ultrafast \
    -pix_fmt yuv420p -c:a aac "$f"
  clips+=("$f")
done

now() { date +%s.%N; }

# The same commands, as the front end builds them, with their own progress files.
mapfile -t commands < <("$convert" --print-command --format mkv --out "$work/by-script" "${clips[@]}")
start=$(now)
i=0
for cmd in "${commands[@]}"; do
  i=$((i + 1))
  cmd=$(sed -E "s|-progress \"[^\"]*\"|-progress \"$work/progress/p$i\"|" <<<"$cmd")
  eval "$cmd" </dev/null >/dev/null 2>&1
done
script=$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }')

start=$(now)
"$convert" --format mkv --out "$work/by-front-end" "${clips[@]}" >/dev/null
front=$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.3f", b - a - 5 }')

awk -v n="$count" -v s="$script" -v f="$front" 'BEGIN {
  printf "clips: %d\nplain transcoder runs: %.2f s\npelmar-convert (final delay excluded): %.2f s\n", n, s, f
  printf "ratio: %.3f (%+.1f %%)\n", f / s, (f / s - 1) * 100
}'
