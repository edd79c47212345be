# Sourced by the real-window tests: an Xvfb server of our own, one host process on a pipe,
# and small functions to talk to it.
#
#   xvfb_start [WxHxD [ARGS]]    exits 77 (skipped) without Xvfb or xdotool; sets DISPLAY, WORK;
#                                ARGS go to the server
#   host_start CMD ARGS...       runs the host with stdin on a pipe, stdout in $WORK/out,
#                                stderr in $WORK/err; waits for its READY line (sets CHILD, PARENT)
#   say CMD                      sends one command, waits for its one-line answer (in REPLY)
#   expect CMD PATTERN [WHAT]    say, then fail unless the answer matches the grep -E pattern
#   expect_soon CMD PATTERN [WHAT]  the same for a query after something done with xdotool:
#                                asked again until it matches, for up to 5 s (a loaded machine
#                                may take a while to deliver the events)
#   host_wait                    closes the pipe and waits for the host (its status in HOST_RC)
#   fail MESSAGE                 prints the message, the host's output, errors and log; exits 1
#
# HOST_LOG may name a file that fail also prints (the scripted host's callback log).

xvfb_start() {
  command -v Xvfb >/dev/null 2>&1 || { echo "Xvfb not installed: skipped"; exit 77; }
  command -v xdotool >/dev/null 2>&1 || { echo "xdotool not installed: skipped"; exit 77; }
  WORK=$(mktemp -d)
  HOSTPID=""
  XVFB=""
  trap xvfb_cleanup EXIT
  trap 'exit 1' INT TERM
  # The server picks a free display number itself (taking its lock atomically) and writes
  # it to fd 5 once it accepts connections; a number chosen here could be taken by a test
  # running at the same time, whose windows would then cover ours.
  screen=${1:-1024x600x24}
  [ $# -gt 0 ] && shift
  Xvfb -displayfd 5 -screen 0 "$screen" -nolisten tcp "$@" 5>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
  XVFB=$!
  i=0
  until [ -s "$WORK/display" ]; do
    i=$((i + 1))
    if [ $i -gt 200 ] || ! kill -0 "$XVFB" 2>/dev/null; then
      echo "Xvfb did not start: skipped"
      cat "$WORK/xvfb.log"
      exit 77
    fi
    sleep 0.025
  done
  export DISPLAY=:$(cat "$WORK/display")
}

xvfb_cleanup() {
  exec 3>&-
  [ -n "$HOSTPID" ] && kill "$HOSTPID" 2>/dev/null && wait "$HOSTPID" 2>/dev/null
  [ -n "$XVFB" ] && kill "$XVFB" 2>/dev/null && wait "$XVFB" 2>/dev/null
  rm -rf "$WORK"
}

fail() {
  echo "FAIL: $*"
  echo "--- host output"; cat "$WORK/out" 2>/dev/null
  echo "--- host errors"; cat "$WORK/err" 2>/dev/null
  if [ -n "$HOST_LOG" ] && [ -f "$HOST_LOG" ]; then
    echo "--- host log (last 40 lines but the time requests)"; grep -v 'getTime ' "$HOST_LOG" | tail -n 40
  fi
  exit 1
}

host_start() {
  rm -f "$WORK/in"
  mkfifo "$WORK/in"
  # Emptied here, not only by the host's redirection, which the background shell may make
  # after the wait below has begun: a second host of one script would otherwise be taken
  # for ready on the first one's READY line.
  : >"$WORK/out"
  "$@" <"$WORK/in" >"$WORK/out" 2>"$WORK/err" &
  HOSTPID=$!
  exec 3>"$WORK/in"
  i=0
  until grep -q '^READY' "$WORK/out"; do
    kill -0 "$HOSTPID" 2>/dev/null || fail "host ended before it was ready"
    i=$((i + 1)); [ $i -gt 200 ] && fail "host not ready after 10 s"
    sleep 0.05
  done
  CHILD=$(sed -n 's/^READY child=\([0-9]*\) parent=\([0-9]*\)$/\1/p' "$WORK/out")
  PARENT=$(sed -n 's/^READY child=\([0-9]*\) parent=\([0-9]*\)$/\2/p' "$WORK/out")
  [ -n "$CHILD" ] && [ "$CHILD" != 0 ] || fail "no child window"
}

say() {
  lines=$(wc -l <"$WORK/out")
  printf '%s\n' "$1" >&3  # as written: a Windows path's backslashes stay
  i=0
  while [ "$(wc -l <"$WORK/out")" -le "$lines" ]; do
    # A host that answers and then exits (close, quit) may be gone by now: its answer
    # counts if it was written before it went.
    if ! kill -0 "$HOSTPID" 2>/dev/null; then
      [ "$(wc -l <"$WORK/out")" -gt "$lines" ] && break
      fail "host ended while answering '$1'"
    fi
    i=$((i + 1)); [ $i -gt 500 ] && fail "no answer to '$1' after 10 s"
    sleep 0.02
  done
  REPLY=$(sed -n "$((lines + 1))p" "$WORK/out")
}

expect() {
  say "$1"
  printf '%s\n' "$REPLY" | grep -Eq "^($2)\$" || fail "${3:-$1}: got '$REPLY', wanted '$2'"
}

expect_soon() {
  tries=0  # not i: say counts with that
  say "$1"
  until printf '%s\n' "$REPLY" | grep -Eq "^($2)\$"; do
    tries=$((tries + 1)); [ $tries -gt 100 ] && fail "${3:-$1}: got '$REPLY', wanted '$2' (after 5 s)"
    sleep 0.05
    say "$1"
  done
}

host_wait() {
  exec 3>&-
  wait "$HOSTPID"
  HOST_RC=$?
  HOSTPID=""
}

# Waits up to 5 s for window $1 to have the keyboard focus; false if it does not.
has_focus() {
  i=0
  until [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; do
    i=$((i + 1)); [ $i -gt 250 ] && return 1
    sleep 0.02
  done
}
