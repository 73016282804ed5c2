# Remakes the help page's screenshots under Xvfb:
#   bash doc/help/screenshots.sh build/kiriview build/tests/close_window tests/data
source "$(dirname "$0")/../../tests/e2e/lib.sh"
out=$(cd "$(dirname "$0")" && pwd)
start_xvfb

# A short fixed folder, so the shots show no temporary name.
pictures=/tmp/写真
rm -rf "$pictures"; trap 'rm -rf "$pictures"; cleanup' EXIT
mkdir -p "$pictures"
convert -seed 7 -size 640x480 plasma:green-skyblue -blur 0x2 "$pictures/mountain.jpg"
convert -size 480x640 gradient:orange-white "$pictures/sunset.bmp"

start_app "$pictures"
main=$(wait_for_window 'きりビューアー' 8) || fail "the main window never showed"
sleep 0.5
press "$main" Tab Tab Down
sleep 0.8
import -window "$main" "$out/main.png"
import -window "$(window_with_size 200x150)" "$out/image.png"

press "$main" alt+f
sleep 0.3
xdotool key --clearmodifiers s
dialog=$(wait_for_window 'ファイルの保存' 8) || fail "the save dialog did not open"
sleep 0.8
import -window "$dialog" "$out/save.png"
close_window "$dialog"
close_window "$main"
wait_for_exit "$APP_PID" 5 || true
