# Installed into a prefix whose program folder cannot be written: the desktop files validate, and
# a run writes nothing beside the program.
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

start_app "$WORK" "$PICTURES/a-wide.jpg"
wait_for_main

close_main
[ "$(ls -la "$bin")" = "$before" ] || fail "something was written into the program folder"
