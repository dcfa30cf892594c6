#!/usr/bin/env bash
# The picture outputs against H.264: one 720p clip of D seconds converted to
# MP4 (H.264, the reference), WebM (VP9), HEVC and AV1 with the transcoder
# commands pelmar-convert builds for them (--print-command), each run R times
# in turn so that a busy moment weighs on all. For each output: the median
# wall time, its real-time factor (wall time / clip length: below 1 is faster
# than real time), its time against the MP4 run, the file's bit rate and the
# SSIM of its picture against the source's.
#
#   bash bench/engine/outputs.sh [BUILD_DIR] [D] [R]
set -euo pipefail
build=${1:-build}
seconds=${2:-10}
rounds=${3:-3}
. "$(dirname "$0")/sandbox.sh"
formats=(mp4 webm hevc av1)
mkdir -p "$work/progress"

# A moving fractal with a test card drifting over it, and music-like sound:
# detail, motion and flat areas, as a real clip has them. Stored nearly
# lossless, so that decoding it costs little and the SSIM measures the output.
clip=$work/clip.mp4
ffmpeg -nostdin -v error \
  -f lavfi -i "mandelbrot=size=1280x720:rate=25" \
  -f lavfi -i "testsrc2=size=480x270:rate=25" \
  -f lavfi -i "sine=frequency=220:sample_rate=48000,volume=0.3" \
  -f lavfi -i "anoisesrc=color=pink:sample_rate=48000:amplitude=0.05" \
  -filter_complex "[0:v][1:v]overlay=x='mod(t*90,800)':y='120+60*sin(t)'[v];[2:a][3:a]amix=inputs=2[a]" \
  -map "[v]" -map "[a]" -t "$seconds" -c:v libx264 -preset ultrafast -crf 12 -pix_fmt yuv420p \
  -c:a aac -b:a 192k "$clip"

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }

declare -A command output
for f in "${formats[@]}"; do
  mkdir -p "$work/out/$f"
  command[$f]=$("$convert" --print-command --format "$f" --out "$work/out/$f" "$clip")
  # The output path is the command's last word, quoted for a shell.
  output[$f]=$(eval "printf '%s\n' ${command[$f]}" | tail -n 1)
  echo "$f: ${command[$f]}"
done
echo

declare -A times
for round in $(seq 1 "$rounds"); do
  for f in "${formats[@]}"; do
    cmd=$(sed -E "s#-progress ('[^']*'|[^ ]+)#-progress '$work/progress/$f'#" <<<"${command[$f]}")
    start=$(now)
    eval "$cmd" </dev/null >/dev/null 2>"$work/err" ||
      { echo "the transcoder failed: $cmd" >&2; tail -5 "$work/err" >&2; exit 1; }
    times[$f]+="$(since "$start") "
  done
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ssim() {
  ffmpeg -nostdin -hide_banner -i "$1" -i "$clip" -lavfi "[0:v][1:v]ssim" -f null - 2>&1 |
    sed -n 's/.*All:\([0-9.]*\).*/\1/p' | tail -n 1
}

reference=$(median "${times[mp4]}")
printf '%-6s %-22s %9s %8s %9s %10s %8s\n' output codecs "wall s" "wall/D" "vs mp4" "kbit/s" SSIM
for f in "${formats[@]}"; do
  file=${output[$f]}
  wall=$(median "${times[$f]}")
  codecs=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$file" | paste -sd+)
  kbps=$(ffprobe -v error -show_entries format=bit_rate -of csv=p=0 "$file" |
    awk '{ printf "%.0f", $1 / 1000 }')
  printf '%-6s %-22s %9s %8s %9s %10s %8s\n' "$f" "$codecs" "$wall" \
    "$(awk -v w="$wall" -v d="$seconds" 'BEGIN { printf "%.2f", w / d }')" \
    "$(awk -v w="$wall" -v r="$reference" 'BEGIN { printf "%.2f", w / r }')" \
    "$kbps" "$(ssim "$file")"
done
echo "(${seconds} s of 1280x720 at 25 fps; median of $rounds runs each; wall/D below 1 is faster than real time)"
