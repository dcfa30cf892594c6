#!/bin/sh
# The crash box shows its message in a window with the caption "except".
# Run on a virtual display (tests/support/with-xvfb.sh); $1 is the window
# program, which shows the box when started with --crash-box, $2 the
# window_print helper (tests/ui/window_print.cpp). The message is not
# readable back from the screen as text, so the box's pixels are compared:
# one message shows the same box each time, and another message (or none)
# shows a different one.
box=$1
print=$2

# Shows the box with message $1 and prints its window's pixels once it is
# painted and two looks in a row agree; prints nothing when no window with
# the caption appeared.
show() {
  "$box" --crash-box "$1" &
  pid=$!
  last=
  for i in $(seq 1 300); do
    now=$("$print" except) || now=
    [ -n "$now" ] && [ "$now" = "$last" ] && break
    last=$now
    sleep 0.05
  done
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  echo "$last"
}

message="Pelmar Video Converter has stopped"
first=$(show "$message")
if [ -z "$first" ]; then
  echo "no window with the caption except appeared" >&2
  exit 1
fi
again=$(show "$message")
other=$(show "Another program went wrong here")
blank=$(show " ")
echo "message: $first, again: $again, another: $other, blank: $blank"
status=0
if [ "$first" != "$again" ]; then
  echo "the same message drew two different boxes: the comparison proves nothing" >&2
  status=1
fi
if [ "$first" = "$other" ] || [ "$first" = "$blank" ]; then
  echo "the box looks the same whatever its message: the message is not shown" >&2
  status=1
fi
exit $status
