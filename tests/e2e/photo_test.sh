# A photographer's photo: shown in its profile's colours, saved through the dialog, and the saved
# file read back with exiftool as an independent reader: the profile byte for byte, the date taken
# and the camera kept, the orientation 1, no thumbnail, the GPS kept. The preview goes beside this
# writable, not installed program, and ImageMagick decodes the saved file.
source "$(dirname "$0")/lib.sh"
command -v exiftool >/dev/null || { echo "exiftool is missing (libimage-exiftool-perl)"; exit 77; }
start_xvfb
PICTURES=$WORK/pictures && mkdir -p "$PICTURES" "$WORK/profiles"
"$4" "$WORK/profiles" || fail "the test photo could not be made"
mv "$WORK/profiles/photo.jpg" "$PICTURES/photo.jpg"
# tag FILE TAG: the tag's value as exiftool reads it, numbers as numbers.
tag() { exiftool -s3 -n "-$2" "$1"; }
[ "$(tag "$PICTURES/photo.jpg" Orientation)" = 6 ] || fail "the test photo has no orientation 6"
[ -n "$(tag "$PICTURES/photo.jpg" ThumbnailLength)" ] || fail "the test photo has no thumbnail"

start_app "$PICTURES"
wait_for_main
press "$MAIN" Tab Tab Down
sleep 0.8
# 200 x 300 upright pixels fit to the 3000-twip box: about 134 x 200 pixels.
image=$(window_with_size 134x200 133x200)
[ -n "$image" ] || fail "the turned photo is not shown upright"
import -window "$image" "$WORK/window.png"
IFS=, read -r r g b <<< "$(convert "$WORK/window.png" -gravity center -crop 1x1+0+0 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:)"
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
# ImageMagick guesses a quality only from the standard's tables; the program's own luminance
# table at quality 50 is its base table, which starts (in zigzag order) as below.
luminance_table_head() { od -An -tx1 -v "$1" | tr -d ' \n' | grep -o 'ffdb004300.\{16\}' | head -n 1; }
quality50=ffdb0043001010101011101214
[ "$(luminance_table_head "$APP_DIR/Sample.jpg")" = $quality50 ] || fail "no preview at quality 50 beside the program"
read_as=$(identify -format '%m %w %h' "$saved") || fail "the saved file does not read"
[ "$read_as" = "JPEG 200 300" ] && [ "$(luminance_table_head "$saved")" = $quality50 ] \
  || fail "the saved file reads as $read_as, not a 200 x 300 JPEG at quality 50"
exiftool -b -ICC_Profile "$saved" | cmp -s - "$WORK/profiles/swapped.icc" || fail "the profile is not kept byte for byte"
[ "$(tag "$saved" DateTimeOriginal)" = "2024:05:20 02:36:12" ] || fail "the date taken is lost"
[ "$(tag "$saved" Make)" = "Kiri Optics" ] && [ "$(tag "$saved" Model)" = K-1 ] || fail "the camera is lost"
[ "$(tag "$saved" EXIF:Orientation)" = 1 ] && [ "$(tag "$saved" XMP:Orientation)" = 1 ] || fail "the orientation is not 1"
[ -z "$(tag "$saved" ThumbnailLength)" ] || fail "the old thumbnail is kept"
[ "$(tag "$saved" ExifImageWidth)x$(tag "$saved" ExifImageHeight)" = 200x300 ] || fail "the pixel size tags are not the new size"
[ -n "$(tag "$saved" EXIF:GPSLatitude)" ] && [ -n "$(tag "$saved" XMP:GPSLatitude)" ] || fail "the location is lost"
close_main
note "ok"
