# The version dialog from the window menu, and the copy button with its message.
source "$(dirname "$0")/lib.sh"
start_xvfb
start_app
wait_for_main 10
about_title='きりビュアーのﾊﾞｰｼﾞｮﾝ情報'

note "version dialog from the window menu"
menu "$MAIN" alt+w v
about=$(wait_for_window "$about_title" 5) || fail "the version dialog did not show"
[ "$(window_size "$about")" = "263x231" ] || fail "the version dialog is $(window_size "$about"), not 3945 x 3465 twips"
sleep 0.3
shot about
press "$about" Escape
expect_gone "$about_title" "Escape did not close the version dialog"

note "a second choice while it is open shows one dialog"
menu "$MAIN" alt+w v
about=$(wait_for_window "$about_title" 5) || fail "the version dialog did not show again"
menu "$MAIN" alt+w v
sleep 0.5
count=$(xdotool search --onlyvisible --name "^$about_title\$" 2>/dev/null | wc -l)
[ "$count" -eq 1 ] || fail "$count version dialogs are open"
press "$about" Return
expect_gone "$about_title" "Enter did not close the version dialog"

note "copy the shown name"
# The copy button lies at 3720, 120 twips in the client area, below the menu bar.
read -r _ height < <(window_size "$MAIN" | tr x ' ')
xdotool mousemove --window "$MAIN" $(( 248 + 16 )) $(( height - 237 + 8 + 8 )) click 1
done_box=$(wait_for_window 'クリップボード' 5) || fail "the copy showed no message"
shot copy_message
# clipboard EXPECTED: the clipboard's text, or EXPECTED when xclip is not installed.
clipboard() { command -v xclip >/dev/null || { note "no xclip: clipboard not checked" >&2; echo "$1"; return; }
  timeout 5 xclip -o -selection clipboard 2>/dev/null || true; }
during=$(clipboard '')
[ -z "$during" ] || fail "the clipboard held \"$during\" while the message was open"
press "$done_box" Return
expect_gone 'クリップボード' "the copy message did not close"
copied=$(clipboard FileName)
[ "$copied" = "FileName" ] || fail "the clipboard holds \"$copied\", not the shown name"
close_main
note "ok"
