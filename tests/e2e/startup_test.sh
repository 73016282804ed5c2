# The command line's --help without a window; the splash, then the main and image windows; a second start
# refused, or with a path handing it over; closing.
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
sleep 0.8
shot splash
wait_for_main
shot main
first=$APP_PID

note "a second start is refused"
start_app
refusal=$(wait_for_window '二重起動' 8) || fail "the second start showed no refusal"
shot refusal
press "$refusal" Return
wait_for_exit "$APP_PID" 5 || fail "the second instance did not end after OK"

note "a second start with a path hands it over and ends"
start_app "$MORE" b-tall.bmp
wait_for_exit "$APP_PID" 5 || fail "the second start did not end"
sleep 0.5
[ -n "$(window_with_size 150x200)" ] || fail "the running instance does not show the handed-over picture"
[ -z "$(window_named '二重起動')" ] || fail "the hand-over showed the second-instance refusal"
kill -0 "$first" || fail "the first instance ended"
[ "$(pgrep -c -x kiriview -P $$ || true)" -le 1 ] || fail "more than one instance remains"
APP_PID=$first
close_main
note "ok"
