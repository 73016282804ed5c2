# Installed into a prefix whose program folder cannot be written: the desktop
# files validate, a picture named on the command line is shown, the help page is
# found without share/doc, a favorite goes to the user's own config folder, and
# nothing is written beside the program.
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

# Root writes through permissions, so it needs a read-only mount.
if [ "$(id -u)" -ne 0 ]; then
  chmod a-w "$bin"
else
  mount --bind "$bin" "$bin" 2>/dev/null || { echo "SKIP: running as root without permission to mount"; exit 77; }
  trap 'c=$?; set +e; umount "$bin" 2>/dev/null; (exit $c); cleanup' EXIT
  mount -o remount,ro,bind "$bin" || { echo "SKIP: cannot remount read-only"; exit 77; }
fi
touch "$bin/probe" 2>/dev/null && fail "the program folder is still writable"
before=$(ls -la "$bin")
start_xvfb
make_pictures
APP=$bin/kiriview
# The desktop's opener stands in: it notes what it was asked to open.
mkdir -p "$WORK/opener"
printf '#!/bin/sh\nprintf "%%s" "$1" > "%s"\n' "$WORK/opened" > "$WORK/opener/xdg-open"
chmod +x "$WORK/opener/xdg-open"
export PATH=$WORK/opener:$PATH

start_app "$WORK" "$PICTURES/a-wide.jpg"
wait_for_main
[ -n "$(window_with_size 200x150)" ] || fail "the picture named on the command line is not shown fitted"

note "the help page opens with share/doc removed (systems may leave it out)"
rm -rf "$share/doc"
menu "$MAIN" alt+w h
poll 5 test -s "$WORK/opened" || fail "help opened nothing"
[ "$(readlink -f "$(cat "$WORK/opened")")" = "$(readlink -f "$share/kiriview/help/index.html")" ] \
  || fail "help opened $(cat "$WORK/opened")"

note "a favorite goes to the private config folder"
menu "$MAIN" alt+o g
box=$(wait_for_window 'お気に入りナンバー' 5) || fail "the favorite's number was not asked"
press "$box" Return
sleep 0.5
ini=$XDG_CONFIG_HOME/kiriview/kiriview.ini
grep -q "key01=$PICTURES" "$ini" || fail "the favorite is not in the user's settings file"
[ "$(stat -c %a "$XDG_CONFIG_HOME/kiriview")" = 700 ] || fail "the config folder is not private"
close_main
[ "$(ls -la "$bin")" = "$before" ] || fail "something was written into the program folder"
note "ok"
