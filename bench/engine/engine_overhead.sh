#!/usr/bin/env bash
# Engine overhead: N short clips through pelmar-convert against the same
# transcoder commands run one after another by this script. The two runs
# alternate in P pairs, so that a busy moment weighs on both; each pair's
# ratio is printed, whole run against whole run, and then their median.
#
#   bash bench/engine/engine_overhead.sh [BUILD_DIR] [N] [P]
set -euo pipefail
build=${1:-build}
count=${2:-8}
pairs=${3:-3}
. "$(dirname "$0")/sandbox.sh"
mkdir -p "$work/clips" "$work/by-script" "$work/progress"

clips=()
for i in $(seq 1 "$count"); do
  f=$work/clips/clip$i.mp4
  ffmpeg -nostdin -v error -f lavfi -i "testsrc=size=320x240:rate=25:duration=4" \
    -f lavfi -i "sine=frequency=440:duration=4" -c:v libx264 -preset ultrafast \
    -pix_fmt yuv420p -c:a aac "$f"
  clips+=("$f")
done

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }

# The same commands, as the front end builds them, with their own progress files.
mapfile -t commands < <("$convert" --print-command --format mkv --out "$work/by-script" "${clips[@]}")

echo "clips: $count"
ratios=()
for pair in $(seq 1 "$pairs"); do
  rm -rf "$work/by-script" "$work/by-front-end" "$work/progress"
  mkdir -p "$work/by-script" "$work/progress"
  start=$(now)
  i=0
  for cmd in "${commands[@]}"; do
    i=$((i + 1))
    cmd=$(sed -E "s#-progress ('[^']*'|[^ ]+)#-progress '$work/progress/p$i'#" <<<"$cmd")
    eval "$cmd" </dev/null >/dev/null 2>"$work/err" ||
      { echo "the transcoder failed: $cmd" >&2; cat "$work/err" >&2; exit 1; }
  done
  script=$(since "$start")

  start=$(now)
  "$convert" --format mkv --out "$work/by-front-end" "${clips[@]}" >/dev/null
  front=$(since "$start")

  ratio=$(awk -v s="$script" -v f="$front" 'BEGIN { printf "%.3f", f / s }')
  ratios+=("$ratio")
  echo "pair $pair: plain transcoder runs $script s, pelmar-convert $front s, ratio $ratio"
done
printf '%s\n' "${ratios[@]}" | sort -n | awk '{ r[NR] = $1 } END {
  m = r[int((NR + 1) / 2)]
  printf "median ratio: %.3f (%+.1f %%)\n", m, (m - 1) * 100
}'
