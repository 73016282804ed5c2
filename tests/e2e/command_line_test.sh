# The command line: --version and --help without a window, a path for a
# missing file, and a path handed to the running instance (a path at start: installed_test).
source "$(dirname "$0")/lib.sh"
start_xvfb
make_pictures
mkdir -p "$PICTURES/more"
convert -size 480x640 gradient:green-white "$PICTURES/more/b-tall.bmp"

[ "$("$APP_DIR/kiriview" --version)" = "kiriview 2.1.0" ] || fail "--version printed something else"
"$APP_DIR/kiriview" --help | grep -q 'ファイル|フォルダ' || fail "--help does not name the argument"
[ -z "$(app_windows)" ] || fail "--help or --version opened a window"

note "a path that does not exist is reported, then the program runs on"
start_app "$PICTURES" nothing.jpg
first=$APP_PID
box=$(wait_for_window 'きりビュアー' 8) || fail "the missing path was not reported"
shot missing-path
press "$box" Return
wait_for_main 5
[ -n "$(window_with_size 200x200)" ] || fail "the start picture is not shown"

note "a second start with a path hands it over and ends"
start_app "$PICTURES/more" b-tall.bmp
wait_for_exit "$APP_PID" 5 || fail "the second start did not end"
sleep 0.5
[ -n "$(window_with_size 150x200)" ] || fail "the running instance does not show the handed-over picture"
[ -z "$(window_named '二重起動')" ] || fail "the hand-over showed the second-instance refusal"
shot handed-over
kill -0 "$first" || fail "the first instance ended"
[ "$(pgrep -c -x kiriview -P $$ || true)" -le 1 ] || fail "more than one instance remains"
APP_PID=$first
close_main

note "ok"
