#!/usr/bin/env bash
# Runs a command on a desktop of its own: a private X display (Xvfb, on the
# first free display number), a session bus and an XEmbed tray host
# (trayer), all torn down when the command ends. Its exit code is the
# command's.
#   tests/program/with-desktop.sh COMMAND [ARGUMENT...]
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 COMMAND [ARGUMENT...]" >&2
  exit 2
fi
for tool in Xvfb xauth xdpyinfo dbus-run-session trayer xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing: run scripts/install-deps.sh test" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/with-desktop.XXXXXX")
xvfb_pid=
trayer_pid=
stop() {
  local pid
  for pid in $trayer_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf -- "$work"
}
trap stop EXIT
trap 'exit 130' INT TERM

# Only clients holding this cookie may connect to the display.
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
touch "$work/server" "$work/client"
xauth -q -f "$work/server" add :0 MIT-MAGIC-COOKIE-1 "$cookie"

# Xvfb picks the first free display and writes its number to the pipe.
mkfifo "$work/display"
# -noreset: no reset, and so no moment of refused connections, each time the
# last client leaves.
Xvfb -displayfd 3 -auth "$work/server" -nolisten tcp -noreset -screen 0 1280x800x24 \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=
if ! read -r -t 20 display <"$work/display" || [ -z "$display" ]; then
  echo "$0: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$display"
export XAUTHORITY="$work/client"
xauth -q -f "$XAUTHORITY" add "$DISPLAY" MIT-MAGIC-COOKIE-1 "$cookie"
# The number comes a moment before the server takes clients.
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done

trayer --edge top --align right --widthtype request --height 24 --iconspacing 2 \
  >"$work/trayer.log" 2>&1 &
trayer_pid=$!
# trayer shows its panel once its tray has taken the display's tray selection.
shown=
for _ in $(seq 200); do
  if xdotool search --onlyvisible --class trayer >/dev/null 2>&1; then
    shown=yes
    break
  fi
  kill -0 "$trayer_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$shown" ]; then
  echo "$0: trayer's panel never showed:" >&2
  cat "$work/trayer.log" >&2
  exit 1
fi

status=0
dbus-run-session -- "$@" || status=$?
exit $status
