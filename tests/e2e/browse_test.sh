# Start in a folder of pictures, pick one with the keyboard, and check the
# image window's size on screen.
source "$(dirname "$0")/lib.sh"
start_xvfb
make_pictures
convert -size 480x640 gradient:green-white "$PICTURES/b-tall.bmp"
printf 'not a picture' > "$PICTURES/c-broken.gif"

start_app "$PICTURES"
wait_for_main
# Focus starts on the drive list; the file list is two tabs further.
press "$MAIN" Tab Tab Down
sleep 0.5
# 640 x 480 pixels fit to 3000 x 2255 twips: 200 x 150 pixels.
[ -n "$(window_with_size 200x150)" ] || fail "the wide picture is not shown at 200x150"
shot browse-wide

press "$MAIN" Down
sleep 0.5
# 480 x 640 fit to about 2254.66 x 3000 twips: 150 x 200 pixels.
[ -n "$(window_with_size 150x200)" ] || fail "the tall picture is not shown at 150x200"

press "$MAIN" Down
refusal=$(wait_for_window 'エラー' 5) || fail "the broken file was not reported"
shot browse-broken
press "$refusal" Return
sleep 0.5
[ -n "$(window_with_size 200x200)" ] || fail "the fallback picture is not shown at 200x200"
kill -0 "$APP_PID" || fail "the program ended"
note "ok"
