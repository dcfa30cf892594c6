#!/bin/sh
# The crash box shows its message in a window with the caption "except".
# Run on a virtual display (tests/support/with-xvfb.sh); $1 is the crash box program.
box=$1
"$box" "Pelmar Video Converter has stopped" &
pid=$!
found=0
for i in $(seq 1 100); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"except"'; then found=1; break; fi
  sleep 0.1
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
if [ "$found" = 1 ]; then echo "crash box shown"; exit 0; fi
echo "no window with the caption except appeared" >&2
exit 1
