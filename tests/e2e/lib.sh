# Shared steps: a private X server, a private copy of the program (it writes beside itself), xdotool.
set -euo pipefail
for tool in Xvfb xdotool; do command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }; done

KIRIVIEW_BIN=$1 CLOSE_WINDOW=$2

WORK=$(mktemp -d)
APP_DIR=$WORK/app
mkdir -p "$APP_DIR" "$WORK/home" "$WORK/runtime"
chmod 700 "$WORK/runtime"
cp "$KIRIVIEW_BIN" "$APP_DIR/kiriview"
export HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/runtime LANG=C.UTF-8 LC_ALL=C.UTF-8
export XDG_CONFIG_HOME=$WORK/home/.config XDG_DATA_HOME=$WORK/home/.local/share
unset QT_QPA_PLATFORM

fail() { echo "FAIL: $*" >&2; shot "failure"; exit 1; }
# A screenshot into $KIRIVIEW_SHOTS when set, for looking.
shot() { [ -z "${KIRIVIEW_SHOTS:-}" ] || { mkdir -p "$KIRIVIEW_SHOTS" && import -window root "$KIRIVIEW_SHOTS/$1.png"; } 2>/dev/null || true; }

cleanup() {
  local code=$?
  kill ${APP_PIDS:-} ${XVFB_PID:-} 2>/dev/null || true
  [ "$code" -eq 0 ] || [ ! -s "$WORK/app.log" ] || { echo "--- the program's log, last lines" >&2; tail -n 40 "$WORK/app.log" >&2; }
  rm -rf "$WORK"
  exit $code
}
trap cleanup EXIT

start_xvfb() {
  # -noreset, or a client connecting just as the last one leaves is dropped.
  local fifo=$WORK/display
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  poll 10 test -s "$fifo" && export DISPLAY=":$(head -n1 "$fifo")" \
    && poll 5 xdotool getmouselocation >/dev/null 2>&1 && return 0
  fail "no X server"
}

# start_app [DIR [ARG...]]: starts $APP (the private copy unless set) in DIR; sets APP_PID.
start_app() {
  (cd "${1:-$APP_DIR}" && shift $(( $# > 0 )) && exec "${APP:-$APP_DIR/kiriview}" "$@" >>"$WORK/app.log" 2>&1) &
  APP_PID=$! && APP_PIDS="${APP_PIDS:-} $APP_PID"
}

poll() { for _ in $(seq $(( $1 * 10 ))); do "${@:2}" && return 0; sleep 0.1; done; return 1; } # SECONDS COMMAND...

app_windows() { xdotool search --onlyvisible --class kiriview 2>/dev/null || true; }
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true; }
shown() { local id; id=$(window_named "$1"); [ -n "$id" ] && echo "$id"; }
wait_for_window() { poll "$2" shown "$1"; } # TITLE SECONDS: prints the id
wait_for_exit() { poll "$2" eval "! kill -0 $1 2>/dev/null"; } # PID SECONDS
window_size() { xdotool getwindowgeometry "$1" | awk '/Geometry:/ {print $2}'; }

dialog_besides() { local id name title; for id in $(app_windows); do name=$(xdotool getwindowname "$id" 2>/dev/null || true)
  for title in "$@"; do [ "$name" = "$title" ] && continue 2; done; echo "$id"; return 0; done; return 1; }

window_with_size() { local id; for id in $(app_windows); do [[ " $* " == *" $(window_size "$id") "* ]] && echo "$id" && break; done; true; }

wait_for_main() { MAIN=$(wait_for_window 'きりビューアー' "${1:-8}") || fail "the main window never showed"; sleep 0.5; }
close_main() { "$CLOSE_WINDOW" "$MAIN"; wait_for_exit "$APP_PID" 5 || fail "closing the main window did not end the program"; }
menu() { press "$1" "$2"; sleep 0.3; xdotool key --clearmodifiers "$3"; }

install_prefix() { prefix=$WORK/prefix share=$WORK/prefix/share bin=$WORK/prefix/bin
  cmake --install "$(dirname "$KIRIVIEW_BIN")" --prefix "$prefix" >/dev/null || fail "cmake --install failed"; }

press() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; xdotool key --clearmodifiers "${@:2}"; }
