# Open the save dialog from the menu, move the quality slider, save under a
# new name, and check the written file with an independent decoder.
source "$(dirname "$0")/lib.sh"
start_xvfb

pictures=$WORK/pictures
mkdir -p "$pictures"
convert -size 640x480 gradient:red-blue -quality 95 "$pictures/a-wide.jpg"

# jpeg_quality FILE: the quality ImageMagick reads from the file's tables.
jpeg_quality() { identify -format '%Q' "$1"; }

# dialog_besides TITLE...: a visible program window whose title is none of those given.
dialog_besides() {
  local id name known
  for id in $(app_windows); do
    name=$(xdotool getwindowname "$id" 2>/dev/null || true)
    known=no
    for title in "$@"; do [ "$name" = "$title" ] && known=yes; done
    [ "$known" = no ] && { echo "$id"; return 0; }
  done
  return 0
}

start_app "$pictures"
main=$(wait_for_window 'きりビューアー' 8) || fail "the main window never showed"
sleep 0.5
# Focus starts on the drive list; the file list is two tabs further.
press "$main" Tab Tab Down
sleep 0.5
[ -n "$(window_with_size 200x150)" ] || fail "the picture is not shown at 200x150"

note "open the save dialog through the menu"
press "$main" alt+f
sleep 0.3
xdotool key --clearmodifiers s
dialog=$(wait_for_window 'ファイルの保存' 8) || fail "the save dialog did not open"
sleep 0.5
[ -f "$APP_DIR/Sample.jpg" ] || fail "no preview file beside the program"
[ "$(jpeg_quality "$APP_DIR/Sample.jpg")" = 50 ] || fail "the first preview is not at quality 50"
shot save-dialog

note "one step right on the slider"
# Focus starts on 保存; the slider is next in the tab order.
press "$dialog" Tab Right
sleep 0.5
[ "$(jpeg_quality "$APP_DIR/Sample.jpg")" = 51 ] || fail "the preview was not rewritten at quality 51"
shot save-dialog-51

note "save under a new name"
press "$dialog" shift+Tab space
files=''
for _ in $(seq 80); do
  files=$(dialog_besides 'きりビューアー' '' kiriview)
  [ -n "$files" ] && break
  sleep 0.1
done
[ -n "$files" ] || fail "the save-file dialog did not open"
note "save-file dialog: $(xdotool getwindowname "$files")"
[ -z "$(window_named 'ファイルの保存')" ] || fail "the save dialog is still shown under the save-file dialog"
sleep 0.5
shot save-file-dialog
press "$files" ctrl+a
xdotool type --delay 20 "$pictures/saved-copy.kir"
xdotool key --clearmodifiers Return
report=$(wait_for_window '保存情況' 8) || fail "no outcome was reported"
shot save-done
press "$report" Return
sleep 0.5

[ -f "$pictures/saved-copy.kir" ] || fail "the file was not written"
read -r kind width height quality < <(identify -format '%m %w %h %Q\n' "jpeg:$pictures/saved-copy.kir")
[ "$kind $width $height" = "JPEG 640 480" ] || fail "the saved file reads as $kind $width x $height"
[ "$quality" = 51 ] || fail "the saved file is at quality $quality, not 51"

note "the main window is usable again"
press "$main" alt+f
sleep 0.3
xdotool key --clearmodifiers s
dialog=$(wait_for_window 'ファイルの保存' 8) || fail "the save dialog did not open a second time"
close_window "$dialog"
for _ in $(seq 30); do [ -z "$(window_named 'ファイルの保存')" ] && break; sleep 0.1; done
[ -z "$(window_named 'ファイルの保存')" ] || fail "the close box did not close the save dialog"

close_window "$main"
wait_for_exit "$APP_PID" 5 || fail "closing the main window did not end the program"
note "ok"
