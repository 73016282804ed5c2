# Installed with the program folder writable (root on CI): nothing appears beside the program, the
# user's folders and the preview are private, the instance door is a private folder of the temporary
# folder and a second start hands over through it, a killed run's stand-in is removed (its link not
# followed) but a person's folder named alike is not, and SIGTERM during a preview's encoding ends
# the program with no temporary file left.
source "$(dirname "$0")/lib.sh"

install_prefix
touch "$bin/probe" && rm "$bin/probe" || fail "the program folder should be writable for this test"
before=$(ls -la "$bin")
export TMPDIR=$WORK/tmp XDG_CACHE_HOME=$WORK/home/.cache
unset XDG_RUNTIME_DIR
mkdir -p "$TMPDIR"
( exit 0 ) & dead=$!; wait $dead
# Stand-ins as the program leaves them (a mark naming the folder, a link), and a person's folder named alike.
mkdir -m 700 "$TMPDIR/kiriview-$dead-AbC123" "$TMPDIR/kiriview-$$-XyZ789" "$TMPDIR/kiriview-$dead-photos"
ln -s "$WORK/home" "$TMPDIR/kiriview-$dead-AbC123/home"
for stand_in in "$TMPDIR/kiriview-$dead-AbC123" "$TMPDIR/kiriview-$$-XyZ789"; do
  echo "kiriview stand-in $(stat -c '%d %i' "$stand_in")" >"$stand_in/.kiriview-stand-in"
done
touch "$TMPDIR/kiriview-$dead-photos/a.jpg"

start_xvfb
PICTURES=$WORK/pictures && mkdir -p "$PICTURES"
# Large enough that each preview takes a while to encode.
convert -size 6000x4000 gradient:red-blue "$PICTURES/big.jpg"
APP=$bin/kiriview
start_app "$WORK" "$PICTURES/big.jpg"
wait_for_main 15
[ ! -e "$TMPDIR/kiriview-$dead-AbC123" ] || fail "the stand-in of an ended process was not removed"
[ -d "$TMPDIR/kiriview-$$-XyZ789" ] || fail "the stand-in of a running process was removed"
[ -d "$WORK/home" ] || fail "the stand-in's link was followed"
[ -f "$TMPDIR/kiriview-$dead-photos/a.jpg" ] || fail "a person's folder named like a stand-in was emptied"
door=$TMPDIR/kiriview-runtime-$(id -u)
[ "$(stat -c %a "$door")" = 700 ] || fail "no private folder for the instance door"
ls "$door"/kiriview-"$(id -u)"-*.sock >/dev/null || fail "no socket named for the user in the door folder"
(cd "$WORK" && exec "$APP" "$PICTURES/big.jpg" >>"$WORK/app.log" 2>&1) &
second=$! && APP_PIDS="$APP_PIDS $second"
wait_for_exit "$second" 10 || fail "a second start did not hand its path over through the door"
wait "$second" || fail "the second start failed"
kill -0 "$APP_PID" || fail "the running instance ended"

note "the save dialog's preview is private"
menu "$MAIN" alt+f s
dialog=$(wait_for_window 'ファイルの保存' 15) || fail "the save dialog did not open"
cache=$XDG_CACHE_HOME/kiriview
poll 15 test -s "$cache/Sample.jpg" || fail "no preview in the user's cache folder"
[ "$(stat -c %a "$cache")" = 700 ] || fail "the cache folder is not private"
[ "$(stat -c %a "$cache/Sample.jpg")" = 600 ] || fail "the preview is not private"

note "SIGTERM while a preview is being encoded"
press "$dialog" Tab Right # the slider: a new preview, long to encode at this size
kill -TERM "$APP_PID"
wait_for_exit "$APP_PID" 10 || fail "SIGTERM did not end the program"
wait "$APP_PID" || fail "the program did not end normally after SIGTERM"
leftovers=$(ls -A "$cache" | grep -v '^Sample.jpg$' || true)
[ -z "$leftovers" ] || fail "left in the cache folder: $leftovers"
[ "$(ls -la "$bin")" = "$before" ] || fail "something was written into the program folder"
note "ok"
