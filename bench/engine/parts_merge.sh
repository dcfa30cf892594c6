#!/usr/bin/env bash
# Joining parts as they are against converting each first: three identical
# 720p clips (one camera's) merged by pelmar-convert with the "parts" preset
# and with the 720 preset, alternating in P pairs. Prints each pair's times
# and the ratio (converted / as they are), then the median ratio; the aim is
# at least 10. Also checks that the joined file holds every frame.
#
#   bash bench/engine/parts_merge.sh [BUILD_DIR] [SECONDS] [P]
set -euo pipefail
build=${1:-build}
seconds=${2:-20}
pairs=${3:-3}
. "$(dirname "$0")/sandbox.sh"
mkdir -p "$work/clips"

clips=()
for i in 1 2 3; do
  f=$work/clips/clip$i.mp4
  ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=$seconds" \
    -f lavfi -i "sine=frequency=$((300 + 100 * i)):duration=$seconds" -c:v libx264 \
    -preset veryfast -pix_fmt yuv420p -c:a aac "$f"
  clips+=("$f")
done

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
frames() {
  ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
    -of csv=p=0 "$1"
}

expected=0
for c in "${clips[@]}"; do expected=$((expected + $(frames "$c"))); done

echo "three ${seconds} s 720p parts"
ratios=()
for pair in $(seq 1 "$pairs"); do
  rm -rf "$work/as-they-are" "$work/converted"
  start=$(now)
  joined=$("$convert" --list merge --preset parts --out "$work/as-they-are" "${clips[@]}" | tail -1)
  fast=$(since "$start")
  start=$(now)
  "$convert" --list merge --preset 720 --out "$work/converted" "${clips[@]}" > /dev/null
  slow=$(since "$start")
  got=$(frames "$joined")
  [[ $got == "$expected" ]] || echo "pair $pair: the joined file holds $got frames of $expected"
  ratio=$(awk -v a="$slow" -v b="$fast" 'BEGIN { printf "%.1f", a / b }')
  echo "pair $pair: as they are ${fast} s, converted ${slow} s, ratio ${ratio}"
  ratios+=("$ratio")
done
printf '%s\n' "${ratios[@]}" | sort -n | awk '{ r[NR] = $1 } END { print "median ratio: " r[int((NR + 1) / 2)] }'
