# A photographer's photo: shown in its profile's colours, saved through the dialog, and the saved
# file read back with exiftool as an independent reader: the profile byte for byte, the date taken
# and the camera kept, the orientation 1, no thumbnail, the GPS kept. The preview goes beside this
# writable, not installed program, and ImageMagick decodes the saved file.
source "$(dirname "$0")/lib.sh"
MAKE_PHOTO=$4
command -v exiftool >/dev/null || { echo "exiftool is missing (libimage-exiftool-perl)"; exit 77; }
start_xvfb
PICTURES=$WORK/pictures && mkdir -p "$PICTURES" "$WORK/profiles"
"$MAKE_PHOTO" "$WORK/profiles" || fail "the test photos could not be made"
mv "$WORK/profiles/adobe.jpg" "$PICTURES/a-adobe.jpg"
mv "$WORK/profiles/photo.jpg" "$PICTURES/b-photo.jpg"

# tag FILE TAG: the tag's value as exiftool reads it, numbers as numbers.
tag() { exiftool -s3 -n "-$2" "$1"; }
# centre_of ID: the colour at the centre of a window, as "R,G,B".
centre_of() {
  import -window "$1" "$WORK/window.png"
  convert "$WORK/window.png" -gravity center -crop 1x1+0+0 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}
# near R,G,B R,G,B: every channel within 2 levels.
near() { local a b; IFS=, read -ra a <<< "$1"; IFS=, read -ra b <<< "$2"
  for i in 0 1 2; do (( ${a[i]} - ${b[i]} <= 2 && ${b[i]} - ${a[i]} <= 2 )) || return 1; done; }

[ "$(tag "$PICTURES/b-photo.jpg" Orientation)" = 6 ] || fail "the test photo has no orientation 6"
[ -n "$(tag "$PICTURES/b-photo.jpg" ThumbnailLength)" ] || fail "the test photo has no thumbnail"

start_app "$PICTURES"
wait_for_main
press "$MAIN" Tab Tab Down
sleep 0.8
image=$(window_with_size 200x200 200x199)
[ -n "$image" ] || fail "the Adobe RGB patch is not shown"
expected=$(convert "$PICTURES/a-adobe.jpg" -profile "$WORK/profiles/adobe.icc" -profile "$WORK/profiles/srgb.icc" \
  -gravity center -crop 1x1+0+0 -format '%[fx:int(255*r+0.5)],%[fx:int(255*g+0.5)],%[fx:int(255*b+0.5)]' info:)
shown=$(centre_of "$image")
near "$shown" "$expected" || fail "the Adobe RGB patch shows $shown, ImageMagick converts it to $expected"

press "$MAIN" Down
sleep 0.8
# 200 x 300 upright pixels fit to the 3000-twip box: about 134 x 200 pixels.
image=$(window_with_size 134x200 133x200)
[ -n "$image" ] || fail "the turned photo is not shown upright"
shot photo-shown
IFS=, read -r r g b <<< "$(centre_of "$image")"
(( g > 150 && r < 100 )) || fail "the photo in the swapping profile shows $r,$g,$b, not green"

note "save through the dialogs at quality 50"
menu "$MAIN" alt+f s
dialog=$(wait_for_window 'ファイルの保存' 8) || fail "the save dialog did not open"
sleep 0.5
shot photo-save-dialog
press "$dialog" space
files=$(poll 8 dialog_besides 'きりビューアー' '' kiriview) || fail "the save-file dialog did not open"
sleep 0.5
press "$files" ctrl+a
xdotool type --delay 20 "$PICTURES/kept.jpg"
xdotool key --clearmodifiers Return
report=$(wait_for_window '保存情況' 8) || fail "no outcome was reported"
press "$report" Return
sleep 0.5
saved=$PICTURES/kept.jpg
[ "$(identify -format '%Q' "$APP_DIR/Sample.jpg")" = 50 ] || fail "no preview at quality 50 beside the program"
read_as=$(identify -format '%m %w %h %Q' "$saved") || fail "the saved file does not read"
[ "$read_as" = "JPEG 200 300 50" ] || fail "the saved file reads as $read_as, not a 200 x 300 JPEG at quality 50"
exiftool -b -ICC_Profile "$saved" | cmp -s - "$WORK/profiles/swapped.icc" || fail "the profile is not kept byte for byte"
[ "$(tag "$saved" DateTimeOriginal)" = "2024:05:20 02:36:12" ] || fail "the date taken is lost"
[ "$(tag "$saved" Make)" = "Kiri Optics" ] && [ "$(tag "$saved" Model)" = K-1 ] || fail "the camera is lost"
[ "$(tag "$saved" EXIF:Orientation)" = 1 ] && [ "$(tag "$saved" XMP:Orientation)" = 1 ] || fail "the orientation is not 1"
[ -z "$(tag "$saved" ThumbnailLength)" ] || fail "the old thumbnail is kept"
[ "$(tag "$saved" ExifImageWidth)x$(tag "$saved" ExifImageHeight)" = 200x300 ] || fail "the pixel size tags are not the new size"
[ -n "$(tag "$saved" EXIF:GPSLatitude)" ] && [ -n "$(tag "$saved" XMP:GPSLatitude)" ] || fail "the location is lost"
close_main
note "ok"
