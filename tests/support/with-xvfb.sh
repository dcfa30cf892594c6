#!/bin/sh
# Runs a command on a virtual display of its own:
#   with-xvfb.sh [-c] [-s WIDTHxHEIGHTxDEPTH] command [argument...]
# -c runs a compositing manager (xcompmgr) on the display as well.
# Xvfb picks a free display number itself and writes it once it takes
# connections, so a busy machine neither races another server for a number
# nor connects before the server is ready. The command's exit status is ours.
screen=1280x1024x24
compositor=
while :; do
  case $1 in
    -s) screen=$2; shift 2 ;;
    -c) compositor=yes; shift ;;
    *) break ;;
  esac
done
if [ $# -eq 0 ]; then
  echo "usage: with-xvfb.sh [-c] [-s WxHxD] command [argument...]" >&2
  exit 2
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/with-xvfb.XXXXXX") || exit 1
mkfifo "$dir/display" || { rmdir "$dir"; exit 1; }
server=
command=
manager=
finish() {
  if [ -n "$command" ]; then
    kill "$command" 2>/dev/null
    wait "$command" 2>/dev/null
  fi
  if [ -n "$manager" ]; then
    kill "$manager" 2>/dev/null
    wait "$manager" 2>/dev/null
  fi
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
  rm -rf "$dir"
}
trap 'finish; exit 129' HUP
trap 'finish; exit 130' INT
trap 'finish; exit 143' TERM

# -noreset: a server that resets when its last client leaves refuses the next
# one for a moment.
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/server.log" &
server=$!
# The read ends at the number's newline, or empty when the server died first
# (the pipe's only writer is gone).
number=
read -r number <"$dir/display"
case $number in
  '' | *[!0-9]*)
    echo "with-xvfb.sh: Xvfb did not start:" >&2
    cat "$dir/server.log" >&2
    server=
    finish
    exit 1
    ;;
esac

DISPLAY=:$number
export DISPLAY
if [ -n "$compositor" ]; then
  # The command waits for the manager to take the display where it matters.
  xcompmgr 2>"$dir/manager.log" &
  manager=$!
fi
# In the background, so that a signal to us ends the command and the server
# at once rather than after the command.
# (Its input is kept: an asynchronous command would read /dev/null.)
exec 4<&0
"$@" <&4 4<&- &
command=$!
wait "$command"
status=$?
command=
finish
exit $status
