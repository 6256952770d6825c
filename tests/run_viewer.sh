#!/usr/bin/env bash
# Runs a viewer program once on its own Xvfb screen, the way a person would:
#   run_viewer.sh PROGRAM WORKDIR OUTDIR ACTION [FRAMES [ARGUMENT...]]
# ACTION: key    wait for the window, press a key
#         close  wait for the window, close it
#         steps  wait for the window, then run VIEWER_STEPS: shell commands
#                (xdotool, say) that may call `shot NAME [WxH]` to keep the
#                window's top left WxH (default 800x600) as OUTDIR/NAME.ppm,
#                `alive NAME` to write 1 or 0 to OUTDIR/NAME, and wait on
#                the program: `settled` until the picture shows what was
#                sent, `after COMMAND` until it has drawn what the command
#                changed, `drawn [N]` for N frames, `titled TEXT` for the
#                window's title; $window is the window's id
#         none   just wait for the program to end (failure paths, --screenshot)
# FRAMES: how many frames the program draws before the screenshot and the
# action. ARGUMENTs go to the program.
# Environment: TRACE=1 records the GL calls with apitrace into OUTDIR/trace;
# VIEWER_WRAPPER runs the program under another command (valgrind, say);
# VIEWER_LIMIT is how many seconds the program may take in all (60);
# VIEWER_PRELOAD names one more library to preload into it;
# VIEWER_PRE_ACTION is a command run once the window exists, after which
# OUTDIR/alive_before_key says whether the program still ran (1 or 0);
# VIEWER_USAGE=1 writes the program's peak memory in KB and its processor
# seconds (user, system) to OUTDIR/usage; VIEWER_STOP="SIGNAL SECONDS" sends
# SIGNAL (key:NAME presses that key in the window, display kills the X
# server) once the program has used SECONDS of processor time (and, for a
# window, once it is open), and writes the seconds from then to the
# program's end to OUTDIR/stopped;
# XVFB_ARGS adds arguments to the X server; WAIT_FOR_PICTURE=1 takes the
# screenshot once something other than black is shown (at most 20 s).
# Writes OUTDIR/stdout, stderr, status (124 when it had to be killed) and,
# when a window appeared, OUTDIR/screen.ppm (the 800 x 600 window at the top
# left of the screen), and OUTDIR/turns: the program's event polls and
# frames (turn_log.c). When the run could not be made at
# all, OUTDIR/harness_error says why and no status is written.
set -u
program=$1 workdir=$2 outdir=$3 action=$4 frames=${5:-0}
shift $(($# < 5 ? $# : 5))
xwindow=${XWINDOW:-$(dirname "$program")/tests/xwindow}
mkdir -p "$outdir"
rm -f "$outdir"/{stdout,stderr,status,harness_error,screen.ppm,trace,alive_before_key,usage,stopped,turns}

xvfb= viewer=
cleanup() {
  [ -n "$viewer" ] && kill -9 "$viewer" 2>/dev/null
  [ -n "$xvfb" ] && { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
}
trap cleanup EXIT
harness_error() {
  echo "$*" > "$outdir/harness_error"
  exit 1
}

# The server picks a free display itself and writes its number to fd 3.
# -noreset keeps it from resetting, and refusing connections meanwhile, each
# time its last client leaves (the probe, xdotool, xwd).
: > "$outdir/display"
exec 3> "$outdir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset ${XVFB_ARGS:-} \
  >"$outdir/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 200); do
  [ -s "$outdir/display" ] && break
  kill -0 $xvfb 2>/dev/null || break
  sleep 0.05
done
[ -s "$outdir/display" ] ||
  harness_error "Xvfb did not start: $(tail -n 3 "$outdir/xvfb.log" | tr '\n' ' ')"
export DISPLAY=:$(head -n1 "$outdir/display")
probed=0
for _ in $(seq 100); do
  "$xwindow" probe 0 && { probed=1; break; }
  sleep 0.05
done
[ $probed = 1 ] || harness_error "Xvfb on $DISPLAY takes no connections"
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER_OVERRIDE:-x11}
# Sanitizer builds: leaks are reported, except the X, GL, SDL and dynamic
# loader blocks that live until exit; apitrace's wrapper loads before ASan.
# Thread-local storage is not scanned for pointers: the leak checker's walk
# of the dynamic TLS of the GL's shader compiler crashes its tracer thread on
# this glibc, depending only on how the shaders' text lays out memory. Not
# scanning can only report more, never hide a leak.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:verify_asan_link_order=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0:use_tls=0}

# Libraries stay loaded to the end (keep_loaded.c), so that leak reports name
# them. Traced runs preload the GL tracer into the program itself, so that
# the process paused, resumed and ended below is the viewer, not a launcher.
# Runs with a window log their event polls and frames (turn_log.c), which
# the waits below read.
preload=$(dirname "$xwindow")/libkeep_loaded.so
[ -f "$preload" ] || harness_error "$preload is not built"
turns=${TURN_LOG:-$outdir/turns}
if [ "$action" != none ]; then
  preload=$preload:$(dirname "$xwindow")/libturn_log.so
  export TURN_LOG=$turns
fi
preload=$preload${VIEWER_PRELOAD:+:$VIEWER_PRELOAD}
tracing=()
if [ "${TRACE:-0}" = 1 ]; then
  wrapper=$(ls /usr/lib/*/apitrace/wrappers/glxtrace.so 2>/dev/null | head -n1)
  [ -n "$wrapper" ] || harness_error "apitrace's glxtrace.so not found"
  preload=$wrapper:$preload
  tracing=("TRACE_FILE=$outdir/trace")
fi
# GNU time's -q: the figures alone, also after a status other than 0.
usage=()
[ "${VIEWER_USAGE:-0}" = 1 ] &&
  usage=(/usr/bin/time -q -f '%M %U %S' -o "$outdir/usage")
(cd "$workdir" && exec env LD_PRELOAD="$preload" "${tracing[@]}" \
  "${usage[@]}" ${VIEWER_WRAPPER:-} "$program" "$@") \
  > "$outdir/stdout" 2> "$outdir/stderr" &
viewer=$!
status=

# The program's own process: under GNU time, its child.
program_pid() {
  [ ${#usage[@]} = 0 ] && { echo $viewer; return; }
  for _ in $(seq 500); do
    pgrep -P $viewer && return
    kill -0 $viewer 2>/dev/null || return
    sleep 0.01
  done
}

# Sends the signal of VIEWER_STOP, or presses its key, once the program has
# used its seconds of processor time, and waits for the program's end.
stop() {
  local signal seconds pid ticks used start end=$((SECONDS + ${VIEWER_LIMIT:-60}))
  read -r signal seconds <<< "$VIEWER_STOP"
  pid=$(program_pid)
  ticks=$(awk -v s="$seconds" -v t="$(getconf CLK_TCK)" 'BEGIN { print int(s * t) }')
  while [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $end ]; do
    used=$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | awk '{ print $12 + $13 }')
    [ "${used:-0}" -ge "$ticks" ] && break
    sleep 0.01
  done
  start=$(date +%s%N)
  case $signal in
    key:*) xdotool mousemove 400 300 key "${signal#key:}" 2>/dev/null ;;
    display) kill -KILL "$xvfb" ;;
    *) kill -"$signal" "$pid" 2>/dev/null ;;
  esac
  wait $viewer
  status=$?
  echo "$start $(date +%s%N)" |
    awk '{ printf "%.3f\n", ($2 - $1) / 1e9 }' > "$outdir/stopped"
}

# Until the shell condition `$1` holds (evaluated here, so it names the
# caller's locals, not its arguments): at most 20 s, and no longer than the
# program runs.
until_true() {
  local end=$((SECONDS + 20))
  while [ $SECONDS -lt $end ]; do
    eval "$1" && return 0
    kill -0 $viewer 2>/dev/null || return 1
    sleep 0.01
  done
  return 1
}
# The lines of the turns log after line `from` that match `pattern`.
turns_since() { tail -n +$(($1 + 1)) "$turns" 2>/dev/null | grep -c "$2"; }

# Until the program has taken every event sent and drawn what they ask for:
# the viewing mode stands still, looking at an empty queue five times in a
# row (turn_log's "peek 0"); the bundled program, which draws on, takes no
# event in five turns in a row from now.
settled() {
  local from
  from=$(wc -l < "$turns")
  until_true '[ "$(tail -n 5 "$turns" | grep -c "^peek 0$")" = 5 ] ||
    { ! grep -q "^peek" "$turns" && [ "$(tail -n +$((from + 1)) "$turns" |
      grep "^poll" | tail -n 5 | grep -c "^poll 0$")" = 5 ]; }'
}
# Until the program has drawn `$1` frames (1 unless given) from now.
drawn() {
  local from count=${1:-1}
  from=$(wc -l < "$turns")
  until_true '[ "$(turns_since $from "^swap$")" -ge $count ]'
}
# Runs a command (a key sent, a file changed), then waits until the program
# has drawn a frame after it and stands still again.
after() {
  local from
  from=$(wc -l < "$turns")
  "$@"
  until_true '[ "$(turns_since $from "^swap$")" -ge 1 ]' && settled
}
# Until the window's title holds `$1`.
titled() {
  local text=$1
  until_true 'xdotool getwindowname "$window" 2>/dev/null | grep -qF -- "$text"'
}

if [ "$action" != none ]; then
  # The window, unless the program ends first (a refused file, say).
  window=
  for _ in $(seq 60); do
    window=$("$xwindow" wait 1) && break
    kill -0 $viewer 2>/dev/null || break
  done
  [ "$frames" != 0 ] && until_true '[ "$(turns_since 0 "^swap$")" -ge $frames ]'
fi
[ -n "${VIEWER_STOP:-}" ] && stop

if [ "$action" != none ] && [ -z "$status" ]; then
  [ "${WAIT_FOR_PICTURE:-0}" = 1 ] && kill -STOP $viewer 2>/dev/null
  if [ -n "${VIEWER_PRE_ACTION:-}" ]; then
    eval "$VIEWER_PRE_ACTION"
    kill -0 $viewer 2>/dev/null && echo -n 1 > "$outdir/alive_before_key" \
      || echo -n 0 > "$outdir/alive_before_key"
  fi
  shot() {
    xwd -root -silent 2>/dev/null |
      convert xwd:- -crop "${2:-800x600}+0+0" +repage "$outdir/${1:-screen}.ppm" \
        2>/dev/null
  }
  alive() { kill -0 $viewer 2>/dev/null && echo -n 1 > "$outdir/$1" || echo -n 0 > "$outdir/$1"; }
  if [ "$action" = steps ]; then
    [ -n "$window" ] && eval "${VIEWER_STEPS:-}"
  elif [ -n "$window" ]; then
    if [ "${WAIT_FOR_PICTURE:-0}" = 1 ]; then
      # The model spins with every frame, and frames come fast: let the
      # program run in slices of 20 ms until its first picture is up, so the
      # picture taken shows the model turned by a few degrees at most.
      for _ in $(seq 500); do
        kill -STOP $viewer 2>/dev/null || break
        shot
        [ "$(convert "$outdir/screen.ppm" -format '%[max]' info:)" != 0 ] && break
        kill -CONT $viewer 2>/dev/null
        sleep 0.02
      done
      kill -CONT $viewer 2>/dev/null
    else
      shot
    fi
    case $action in
      key) xdotool mousemove 400 300 key space 2>/dev/null ;;
      close) "$xwindow" close "$window" 2>/dev/null ;;
    esac
  fi
fi

if [ -z "$status" ]; then
  status=124
  for _ in $(seq $((${VIEWER_LIMIT:-60} * 20))); do
    if ! kill -0 $viewer 2>/dev/null; then
      wait $viewer
      status=$?
      break
    fi
    sleep 0.05
  done
fi
[ $status = 124 ] && kill -9 $viewer 2>/dev/null
viewer=
echo $status > "$outdir/status"
