# Splash, main and image windows, the second-instance refusal, and closing.
source "$(dirname "$0")/lib.sh"
start_xvfb

started=$(date +%s%N)
start_app
sleep 0.8
[ -n "$(window_with_size 312x213)" ] || fail "the splash (4680 x 3195 twips) is not shown"
[ -z "$(window_named 'きりビューアー')" ] || fail "the main window came before the splash ended"
shot splash

MAIN=$(wait_for_window 'きりビューアー' 8) || fail "the main window never showed"
elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
note "main window after ${elapsed_ms} ms"
[ "$elapsed_ms" -ge 1800 ] || fail "the splash lasted only ${elapsed_ms} ms"
[ -z "$(window_with_size 312x213)" ] || fail "the splash is still there"
sleep 0.3
[ -n "$(window_with_size 200x200)" ] || fail "the image window (3000 x 3000 twips) is not shown"
shot main
first=$APP_PID

note "second instance"
start_app
refusal=$(wait_for_window '二重起動' 8) || fail "the second start showed no refusal"
shot refusal
press "$refusal" Return
wait_for_exit "$APP_PID" 5 || fail "the second instance did not end after OK"
kill -0 "$first" || fail "the first instance ended too"
APP_PID=$first
close_main
note "ok"
