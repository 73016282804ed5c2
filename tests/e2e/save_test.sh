# Start in a folder of pictures and pick them with the keyboard, checking the image window's size on screen;
# then open the save dialog from the menu, move the quality slider, save under a new name, and check the
# written file with an independent decoder.
source "$(dirname "$0")/lib.sh"
start_xvfb
make_pictures
convert -size 480x640 gradient:green-white "$PICTURES/b-tall.bmp"
printf 'not a picture' > "$PICTURES/c-broken.gif"

# jpeg_quality FILE: the quality ImageMagick reads from the file's tables.
jpeg_quality() { identify -format '%Q' "$1"; }

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
press "$MAIN" Up Up
sleep 0.5
[ -n "$(window_with_size 200x150)" ] || fail "the wide picture is not shown again"

note "open the save dialog through the menu"
menu "$MAIN" alt+f s
dialog=$(wait_for_window 'ファイルの保存' 8) || fail "the save dialog did not open"
sleep 0.5
[ "$(jpeg_quality "$APP_DIR/Sample.jpg")" = 50 ] || fail "no preview at quality 50 beside the program"
shot save-dialog

note "one step right on the slider"
# Focus starts on 保存; the slider is next in the tab order.
press "$dialog" Tab Right
sleep 0.5
[ "$(jpeg_quality "$APP_DIR/Sample.jpg")" = 51 ] || fail "the preview was not rewritten at quality 51"
shot save-dialog-51

note "save under a new name"
press "$dialog" shift+Tab space
files=$(poll 8 dialog_besides 'きりビューアー' '' kiriview) || fail "the save-file dialog did not open"
[ -z "$(window_named 'ファイルの保存')" ] || fail "the save dialog is still shown under the save-file dialog"
sleep 0.5
shot save-file-dialog
press "$files" ctrl+a
xdotool type --delay 20 "$PICTURES/saved-copy.kir"
xdotool key --clearmodifiers Return
report=$(wait_for_window '保存情況' 8) || fail "no outcome was reported"
shot save-done
press "$report" Return
sleep 0.5
saved=$(identify -format '%m %w %h %Q' "jpeg:$PICTURES/saved-copy.kir") || fail "the file was not written or does not read"
[ "$saved" = "JPEG 640 480 51" ] || fail "the saved file reads as $saved, not a 640 x 480 JPEG at quality 51"
close_main
note "ok"
