# The version dialog from the window menu, and the copy button with its message.
source "$(dirname "$0")/lib.sh"
start_xvfb

start_app
main=$(wait_for_window 'きりビューアー' 10) || fail "the main window never showed"
sleep 0.5
about_title='きりビュアーのﾊﾞｰｼﾞｮﾝ情報'

note "version dialog from the window menu"
press "$main" alt+w
sleep 0.3
xdotool key --clearmodifiers v
about=$(wait_for_window "$about_title" 5) || fail "the version dialog did not show"
[ "$(window_size "$about")" = "263x231" ] || fail "the version dialog is $(window_size "$about"), not 3945 x 3465 twips"
sleep 0.3
shot about
press "$about" Escape
for _ in $(seq 30); do [ -z "$(window_named "$about_title")" ] && break; sleep 0.1; done
[ -z "$(window_named "$about_title")" ] || fail "Escape did not close the version dialog"

note "a second choice while it is open shows one dialog"
press "$main" alt+w
sleep 0.3
xdotool key --clearmodifiers v
about=$(wait_for_window "$about_title" 5) || fail "the version dialog did not show again"
press "$main" alt+w
sleep 0.3
xdotool key --clearmodifiers v
sleep 0.5
count=$(xdotool search --onlyvisible --name "^$about_title\$" 2>/dev/null | wc -l)
[ "$count" -eq 1 ] || fail "$count version dialogs are open"
press "$about" Return
for _ in $(seq 30); do [ -z "$(window_named "$about_title")" ] && break; sleep 0.1; done
[ -z "$(window_named "$about_title")" ] || fail "Enter did not close the version dialog"

note "copy the shown name"
# The copy button lies at 3720, 120 twips in the client area, below the menu bar.
read -r width height < <(window_size "$main" | tr x ' ')
menu_bar=$(( height - 237 ))
xdotool mousemove --window "$main" $(( 248 + 16 )) $(( menu_bar + 8 + 8 )) click 1
done_box=$(wait_for_window 'クリップボード' 5) || fail "the copy showed no message"
shot copy_message
if command -v xclip >/dev/null; then
  during=$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)
  [ -z "$during" ] || fail "the clipboard held \"$during\" while the message was open"
fi
press "$done_box" Return
for _ in $(seq 30); do [ -z "$(window_named 'クリップボード')" ] && break; sleep 0.1; done
[ -z "$(window_named 'クリップボード')" ] || fail "the copy message did not close"
if command -v xclip >/dev/null; then
  copied=$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)
  [ "$copied" = "FileName" ] || fail "the clipboard holds \"$copied\", not the shown name"
else
  note "xclip is not installed: clipboard contents not checked"
fi

close_window "$main"
wait_for_exit "$APP_PID" 5 || fail "closing the main window did not end the program"
note "ok"
