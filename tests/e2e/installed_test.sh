# Installed into a prefix: the desktop files validate. With the program folder writable (root on CI),
# nothing appears beside the program, --help opens no window, a second start is refused or with a path
# hands it over through the private door in the temporary folder, the preview is private, and SIGTERM
# during a preview's encoding leaves no temporary file.
source "$(dirname "$0")/lib.sh"

install_prefix
for f in applications/kiriview.desktop metainfo/org.example.kiriworks.kiriview.metainfo.xml mime/packages/kiriview.xml \
  icons/hicolor/scalable/apps/kiriview.svg icons/hicolor/16x16/apps/kiriview.png icons/hicolor/256x256/apps/kiriview.png \
  kiriview/help/index.html doc/kiriview/copyright doc/kiriview/changelog.gz man/man1/kiriview.1.gz; do
  [ -f "$share/$f" ] || fail "not installed: share/$f"
done
desktop-file-validate "$share/applications/kiriview.desktop" || fail "the desktop entry does not validate"
appstreamcli validate --no-net "$share/metainfo/org.example.kiriworks.kiriview.metainfo.xml" >/dev/null \
  || fail "the metainfo does not validate"

touch "$bin/probe" && rm "$bin/probe" || fail "the program folder should be writable for this test"
before=$(ls -la "$bin")
export TMPDIR=$WORK/tmp XDG_CACHE_HOME=$WORK/home/.cache
unset XDG_RUNTIME_DIR
mkdir -p "$TMPDIR"

start_xvfb
# A folder whose name is not valid UTF-8: a path there must reach the running instance byte for byte.
PICTURES=$WORK/pictures MORE=$WORK/pictures/more$'\xff'
mkdir -p "$MORE"
convert -size 6000x4000 gradient:red-blue "$PICTURES/big.jpg" # each preview takes a while to encode
convert -size 480x640 gradient:green-white "$MORE/b-tall.bmp"
APP=$bin/kiriview
"$APP" --help | grep -q 'ファイル|フォルダ' || fail "--help does not name the argument"
[ -z "$(app_windows)" ] || fail "--help opened a window"
start_app "$WORK" "$PICTURES/big.jpg"
wait_for_main 15
first=$APP_PID
ls "$TMPDIR/kiriview-runtime-$(id -u)"/kiriview-"$(id -u)"-*.sock >/dev/null || fail "no door in the temporary folder"
start_app "$WORK"
refusal=$(wait_for_window '二重起動' 8) || fail "the second start showed no refusal"
press "$refusal" Return
wait_for_exit "$APP_PID" 5 || fail "the second instance did not end after OK"
start_app "$MORE" b-tall.bmp
wait_for_exit "$APP_PID" 5 || fail "the second start did not end"
sleep 0.5
[ -n "$(window_with_size 150x200)" ] || fail "the running instance does not show the handed-over picture"
start_app "$WORK" "$PICTURES/big.jpg"
wait_for_exit "$APP_PID" 10 || fail "a second start did not hand its path over through the door"
wait "$APP_PID" || fail "the second start failed"
APP_PID=$first
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
