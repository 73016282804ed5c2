# --help opens no window; a second start is refused, or with a path hands it over; closing ends the program.
source "$(dirname "$0")/lib.sh"
start_xvfb
make_pictures
# A folder whose name is not valid UTF-8: the path must reach the running instance byte for byte.
MORE="$PICTURES/more"$'\xff'
mkdir -p "$MORE"
convert -size 480x640 gradient:green-white "$MORE/b-tall.bmp"

"$APP_DIR/kiriview" --help | grep -q 'ファイル|フォルダ' || fail "--help does not name the argument"
[ -z "$(app_windows)" ] || fail "--help opened a window"

start_app
wait_for_main
first=$APP_PID

start_app
refusal=$(wait_for_window '二重起動' 8) || fail "the second start showed no refusal"
press "$refusal" Return
wait_for_exit "$APP_PID" 5 || fail "the second instance did not end after OK"

start_app "$MORE" b-tall.bmp
wait_for_exit "$APP_PID" 5 || fail "the second start did not end"
sleep 0.5
[ -n "$(window_with_size 150x200)" ] || fail "the running instance does not show the handed-over picture"
[ -z "$(window_named '二重起動')" ] || fail "the hand-over showed the second-instance refusal"
kill -0 "$first" || fail "the first instance ended"
[ "$(pgrep -c -x kiriview -P $$ || true)" -le 1 ] || fail "more than one instance remains"
APP_PID=$first
close_main
