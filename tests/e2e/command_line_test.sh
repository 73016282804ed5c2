# The command line: --version and --help without a window, a path for a
# missing file, a picture shown at start, and a path handed to the running instance.
source "$(dirname "$0")/lib.sh"
start_xvfb

pictures=$WORK/pictures
mkdir -p "$pictures/more"
convert -size 640x480 gradient:red-blue "$pictures/a-wide.jpg"
convert -size 480x640 gradient:green-white "$pictures/more/b-tall.bmp"

[ "$("$APP_DIR/kiriview" --version)" = "kiriview 2.1.0" ] || fail "--version printed something else"
"$APP_DIR/kiriview" --help | grep -q 'ファイル|フォルダ' || fail "--help does not name the argument"
[ -z "$(app_windows)" ] || fail "--help or --version opened a window"

note "a path that does not exist is reported, then the program runs on"
(cd "$pictures" && exec "$APP_DIR/kiriview" nothing.jpg >>"$WORK/app.log" 2>&1) &
first=$!
APP_PIDS="$APP_PIDS $first"
box=$(wait_for_window 'きりビュアー' 8) || fail "the missing path was not reported"
shot missing-path
press "$box" Return
main=$(wait_for_window 'きりビューアー' 5) || fail "no main window after the message"
[ -n "$(window_with_size 200x200)" ] || fail "the start picture is not shown"

note "a second start with a path hands it over and ends"
(cd "$pictures/more" && exec "$APP_DIR/kiriview" b-tall.bmp >>"$WORK/app.log" 2>&1) &
second=$!
APP_PIDS="$APP_PIDS $second"
wait_for_exit "$second" 5 || fail "the second start did not end"
sleep 0.5
[ -n "$(window_with_size 150x200)" ] || fail "the running instance does not show the handed-over picture"
[ -z "$(window_named '二重起動')" ] || fail "the hand-over showed the second-instance refusal"
shot handed-over
kill -0 "$first" || fail "the first instance ended"
[ "$(pgrep -c -x kiriview -P $$ || true)" -le 1 ] || fail "more than one instance remains"
close_window "$main"
wait_for_exit "$first" 5 || fail "closing the main window did not end the program"

note "a picture named at start is shown as a click shows it"
start_app_with() { (cd "$WORK" && exec "$APP_DIR/kiriview" "$@" >>"$WORK/app.log" 2>&1) & APP_PID=$!; APP_PIDS="$APP_PIDS $APP_PID"; }
start_app_with "$pictures/a-wide.jpg"
main=$(wait_for_window 'きりビューアー' 8) || fail "the main window never showed"
sleep 0.5
[ -n "$(window_with_size 200x150)" ] || fail "the picture named at start is not shown at 200x150"
close_window "$main"
wait_for_exit "$APP_PID" 5 || fail "closing the main window did not end the program"
note "ok"
