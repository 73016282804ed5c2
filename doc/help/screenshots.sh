# Remakes the help page's screenshots under Xvfb:
#   bash doc/help/screenshots.sh build/kiriview build/tests/close_window tests/data
source "$(dirname "$0")/../../tests/e2e/lib.sh"
out=$(cd "$(dirname "$0")" && pwd)
start_xvfb

# A short fixed folder, so the shots show no temporary name.
pictures=/tmp/写真
rm -rf "$pictures"; trap 'rm -rf "$pictures"; cleanup' EXIT
mkdir -p "$pictures"
# Sky, hills and a sun: flat areas and edges, as in a photo, so the difference view shows where JPEG loses.
convert -seed 7 -size 640x480 gradient:skyblue-white -fill forestgreen \
  -draw "polygon 0,480 0,300 180,140 330,280 460,170 640,330 640,480" \
  -fill gold -draw "circle 520,90 560,90" -blur 0x1 -attenuate 0.3 +noise Gaussian "$pictures/mountain.jpg"
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

# The aids, each with what shows around the dialog (tooltips are windows of their own).
geometry=$(xdotool getwindowgeometry "$dialog")
pos=$(awk '/Position:/ {print $2}' <<<"$geometry"); size=$(awk '/Geometry:/ {print $2}' <<<"$geometry")
x=${pos%,*} y=${pos#*,} w=${size%x*} h=${size#*x}
# around NAME [RIGHT]: the dialog's area moved RIGHT pixels to the right, kept small (PNG, 64 colours).
around() { import -window root -crop "${w}x$h+$((x + ${2:-0}))+$y" +repage -strip -colors 64 "png8:$out/$1.png"; }

xdotool mousemove $((x + w * 62 / 100)) $((y + h * 42 / 100))
sleep 2
around save-quality 100
xdotool mousemove $((x + w - 5)) $((y + h - 5))
sleep 0.5

press "$dialog" ctrl+t
box=$(wait_for_window '目標サイズ' 8) || fail "the target box did not open"
xdotool key --clearmodifiers ctrl+a && xdotool type --delay 50 '8'
xdotool key --clearmodifiers Return
sleep 1.5
around save-target
sleep 3 # the outcome's balloon goes

xdotool windowactivate --sync "$dialog" 2>/dev/null || true
xdotool keydown d; sleep 2; around save-difference; xdotool keyup d
xdotool keydown o; sleep 1; around save-original; xdotool keyup o
"$CLOSE_WINDOW" "$dialog"
"$CLOSE_WINDOW" "$main"
wait_for_exit "$APP_PID" 5 || true
