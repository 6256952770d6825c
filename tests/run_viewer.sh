#!/usr/bin/env bash
# Runs a viewer program once on its own Xvfb screen, the way a person would:
#   run_viewer.sh PROGRAM WORKDIR OUTDIR ACTION [SECONDS]
# ACTION: key    wait for the window, press a key
#         close  wait for the window, close it
#         none   just wait for the program to end (failure paths)
# SECONDS: how long the program runs before the screenshot and the action.
# Environment: TRACE=1 records the GL calls with apitrace into OUTDIR/trace;
# VIEWER_WRAPPER runs the program under another command (valgrind, say);
# VIEWER_PRE_ACTION is a command run once the window exists, after which
# OUTDIR/alive_before_key says whether the program still ran (1 or 0);
# XVFB_ARGS adds arguments to the X server.
# Writes OUTDIR/stdout, stderr, status (124 when it had to be killed) and,
# when a window appeared, OUTDIR/screen.ppm and screen.png (the 800 x 600
# window at the top left of the screen).
set -u
program=$1 workdir=$2 outdir=$3 action=$4 seconds=${5:-0}
xwindow=${XWINDOW:-$(dirname "$program")/tests/xwindow}
mkdir -p "$outdir"
rm -f "$outdir"/{stdout,stderr,status,screen.ppm,screen.png,trace,alive_before_key}

exec 3> "$outdir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp ${XVFB_ARGS:-} >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null' EXIT
for _ in $(seq 100); do [ -s "$outdir/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$outdir/display")
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER_OVERRIDE:-x11}

cmd=("$program")
[ "${TRACE:-0}" = 1 ] && cmd=(apitrace trace --output="$outdir/trace" -- "$program")
(cd "$workdir" && exec ${VIEWER_WRAPPER:-} "${cmd[@]}") \
  > "$outdir/stdout" 2> "$outdir/stderr" &
viewer=$!

if [ "$action" != none ]; then
  window=$("$xwindow" wait 60)
  [ "$seconds" != 0 ] && sleep "$seconds"
  if [ -n "${VIEWER_PRE_ACTION:-}" ]; then
    eval "$VIEWER_PRE_ACTION"
    sleep 0.3
    kill -0 $viewer 2>/dev/null && echo -n 1 > "$outdir/alive_before_key" \
      || echo -n 0 > "$outdir/alive_before_key"
  fi
  if [ -n "$window" ]; then
    xwd -root -silent | convert xwd:- -crop 800x600+0+0 +repage "$outdir/screen.ppm"
    convert "$outdir/screen.ppm" "$outdir/screen.png"
    case $action in
      key) xdotool mousemove 400 300 key space ;;
      close) "$xwindow" close "$window" ;;
    esac
  fi
fi

status=124
for _ in $(seq 1200); do
  if ! kill -0 $viewer 2>/dev/null; then
    wait $viewer
    status=$?
    break
  fi
  sleep 0.05
done
[ $status = 124 ] && kill -9 $viewer 2>/dev/null
echo $status > "$outdir/status"
