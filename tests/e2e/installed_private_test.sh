# Installed with the program folder writable (root on CI): nothing appears beside the program, the
# preview is private, a second start hands over through the private door in the temporary folder,
# and SIGTERM during a preview's encoding ends the program with no temporary file left.
source "$(dirname "$0")/lib.sh"

install_prefix
touch "$bin/probe" && rm "$bin/probe" || fail "the program folder should be writable for this test"
before=$(ls -la "$bin")
export TMPDIR=$WORK/tmp XDG_CACHE_HOME=$WORK/home/.cache
unset XDG_RUNTIME_DIR
mkdir -p "$TMPDIR"

start_xvfb
PICTURES=$WORK/pictures && mkdir -p "$PICTURES"
# Large enough that each preview takes a while to encode.
convert -size 6000x4000 gradient:red-blue "$PICTURES/big.jpg"
APP=$bin/kiriview
start_app "$WORK" "$PICTURES/big.jpg"
wait_for_main 15
ls "$TMPDIR/kiriview-runtime-$(id -u)"/kiriview-"$(id -u)"-*.sock >/dev/null || fail "no door in the temporary folder"
(cd "$WORK" && exec "$APP" "$PICTURES/big.jpg" >>"$WORK/app.log" 2>&1) &
second=$! && APP_PIDS="$APP_PIDS $second"
wait_for_exit "$second" 10 || fail "a second start did not hand its path over through the door"
wait "$second" || fail "the second start failed"
kill -0 "$APP_PID" || fail "the running instance ended"

menu "$MAIN" alt+f s
dialog=$(wait_for_window 'ファイルの保存' 15) || fail "the save dialog did not open"
cache=$XDG_CACHE_HOME/kiriview
poll 15 test -s "$cache/Sample.jpg" || fail "no preview in the user's cache folder"
[ "$(stat -c %a "$cache/Sample.jpg")" = 600 ] || fail "the preview is not private"

press "$dialog" Tab Right # the slider: a new preview, long to encode at this size
kill -TERM "$APP_PID"
wait_for_exit "$APP_PID" 10 || fail "SIGTERM did not end the program"
wait "$APP_PID" || fail "the program did not end normally after SIGTERM"
leftovers=$(ls -A "$cache" | grep -v '^Sample.jpg$' || true)
[ -z "$leftovers" ] || fail "left in the cache folder: $leftovers"
[ "$(ls -la "$bin")" = "$before" ] || fail "something was written into the program folder"
