#!/usr/bin/env bash
# GIF colours: on a few kinds of content, the GIF command of pelmar-convert
# (a palette made for the clip) against the command it replaced (the GIF
# encoder's fixed palette) and against the palette per frame that long clips
# get. Prints, per content, the SSIM of each GIF to its source, its bytes and
# the time of each run as a ratio to the fixed-palette run.
#
#   bash bench/engine/gif_palette.sh [BUILD_DIR] [SECONDS] [WIDTHxHEIGHT]
set -euo pipefail
build=${1:-build}
seconds=${2:-4}
size=${3:-480x270}
. "$(dirname "$0")/sandbox.sh"
mkdir -p "$work/clips" "$work/gifs"

# Sources: lavfi graphs, each cut to the length asked for.
declare -A kinds=(
  [natural]="mandelbrot=size=$size:rate=25"
  [blurred]="testsrc2=size=$size:rate=25,gblur=sigma=4"
  [gradient]="gradients=size=$size:rate=25:speed=0.02:c0=0x203060:c1=0xa0c0e0:c2=0xe0a070:nb_colors=3"
  [cartoon]="testsrc=size=$size:rate=25"
  [screen]="smptehdbars=size=$size:rate=25,drawtext=text='%{pts\\:hms}  File  Edit  View  Help':x=20:y=h/2:fontsize=20:fontcolor=white:box=1:boxcolor=black"
)
order=(natural blurred gradient cartoon screen)

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
ssim() {
  ffmpeg -nostdin -hide_banner -i "$1" -i "$2" -lavfi \
    "[0:v]setpts=PTS-STARTPTS,format=yuv444p[a];[1:v]format=yuv444p[b];[a][b]ssim=shortest=1" \
    -f null - 2>&1 | sed -n 's/.* All:\([0-9.]*\).*/\1/p' | tail -1
}
run() {  # the command line, the GIF it writes
  rm -f "$2"
  eval "$1" </dev/null >/dev/null 2>"$work/err" ||
    { echo "the transcoder failed: $1" >&2; cat "$work/err" >&2; exit 1; }
}

echo "GIFs of $seconds s at $size; SSIM to the source (1 = the same picture), bytes, time against the fixed palette"
printf '%-9s | %-18s | %-24s | %-24s\n' content "fixed palette (old)" "clip palette (new)" "palette per frame (long)"
for kind in "${order[@]}"; do
  src=$work/clips/$kind.mp4
  ffmpeg -nostdin -v error -f lavfi -i "${kinds[$kind]},trim=duration=$seconds" \
    -c:v libx264 -preset veryfast -crf 12 -pix_fmt yuv420p "$src"

  # The command as the program builds it, with a progress file of its own.
  new=$("$convert" --list gif --print-command --out "$work/gifs" "$src")
  new=$(sed -E "s#-progress ('[^']*'|[^ ]+)#-progress '$work/progress'#" <<<"$new")
  gif=$work/gifs/$kind.gif
  [[ $new == *"palettegen=stats_mode=full"* ]] || { echo "unexpected command: $new" >&2; exit 1; }
  # The command before: no palette steps, and the picture format forced.
  old=$(sed -E "s#,split\[a\]\[b\];[^ ']*##; s# -max_muxing_queue_size# -pix_fmt yuv420p -max_muxing_queue_size#" <<<"$new")
  # What a long clip gets.
  frame=$(sed -E "s#stats_mode=full#stats_mode=single#; s#bayer_scale=5#bayer_scale=5:new=1#" <<<"$new")

  start=$(now); run "$old" "$gif"; t_old=$(since "$start")
  s_old=$(ssim "$gif" "$src"); b_old=$(stat -c %s "$gif")
  start=$(now); run "$new" "$gif"; t_new=$(since "$start")
  s_new=$(ssim "$gif" "$src"); b_new=$(stat -c %s "$gif")
  start=$(now); run "$frame" "$gif"; t_frame=$(since "$start")
  s_frame=$(ssim "$gif" "$src"); b_frame=$(stat -c %s "$gif")

  printf '%-9s | %.3f %10d B | %.3f %10d B x%-5.2f | %.3f %10d B x%-5.2f\n' "$kind" \
    "$s_old" "$b_old" "$s_new" "$b_new" "$(awk -v a="$t_new" -v b="$t_old" 'BEGIN { print a / b }')" \
    "$s_frame" "$b_frame" "$(awk -v a="$t_frame" -v b="$t_old" 'BEGIN { print a / b }')"
done
