# Photographers' photos shown and saved through the dialogs, the saved files read back with exiftool
# and rendered with Little CMS (transicc) as independent readers: a camera photo in a profile that
# swaps red and green (its metadata kept), then a grey photo in a grey profile of gamma 1.0.
source "$(dirname "$0")/lib.sh"
command -v exiftool >/dev/null || { echo "exiftool is missing (libimage-exiftool-perl)"; exit 77; }
command -v transicc >/dev/null || { echo "transicc is missing (liblcms2-utils)"; exit 77; }
start_xvfb
PICTURES=$WORK/pictures && mkdir -p "$PICTURES" "$WORK/profiles"
"$4" "$WORK/profiles" || fail "the test photos could not be made"
mv "$WORK/profiles/"*.jpg "$PICTURES/"
# tag FILE TAG: the tag's value as exiftool reads it, numbers as numbers.
tag() { exiftool -s3 -n "-$2" "$1"; }
# centre FILE: the middle pixel as "R G B".
centre() { convert "$1" -gravity center -crop 1x1+0+0 -format '%[fx:int(255*r+0.5)] %[fx:int(255*g+0.5)] %[fx:int(255*b+0.5)]' info:; }
# near "R G B" "R G B" TOLERANCE: each channel within the tolerance.
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { split(a, x, " "); split(b, y, " ");
  for (i = 1; i <= 3; i++) { d = x[i] - y[i]; if (d < 0) d = -d; if (d > t) exit 1 } }'; }
# lcms PROFILE VALUES...: Little CMS's sRGB for the values in the profile's space.
lcms() { echo "${@:2}" | transicc -i "$1" -o '*sRGB' -n 2>/dev/null | tail -n1; }
# save_as PATH: saves the picture shown through the save dialog at its quality 50.
save_as() {
  menu "$MAIN" alt+f s
  local dialog files report
  dialog=$(wait_for_window 'ファイルの保存' 8) || fail "the save dialog did not open"
  sleep 0.5
  press "$dialog" space
  files=$(poll 8 dialog_besides 'きりビューアー' '' kiriview) || fail "the save-file dialog did not open"
  sleep 0.5
  press "$files" ctrl+a
  xdotool type --delay 20 "$1"
  xdotool key --clearmodifiers Return
  report=$(wait_for_window '保存情況' 8) || fail "no outcome was reported"
  press "$report" Return
  sleep 0.5
}
grey_shown() { image=$(window_with_size 153x200 152x200); [ -n "$image" ]; }
[ "$(tag "$PICTURES/photo.jpg" Orientation)" = 6 ] && [ -n "$(tag "$PICTURES/photo.jpg" ThumbnailLength)" ] \
  && [ -n "$(tag "$PICTURES/photo.jpg" PhotoshopThumbnail)" ] || fail "the test photo lacks its orientation 6 or a thumbnail"

start_app "$PICTURES"
wait_for_main
press "$MAIN" Tab Tab Down
sleep 0.8
# 200 x 300 upright pixels fit to the 3000-twip box: about 134 x 200 pixels.
image=$(window_with_size 134x200 133x200)
[ -n "$image" ] || fail "the turned photo is not shown upright"
import -window "$image" "$WORK/window.png"
IFS=' ' read -r r g b <<< "$(centre "$WORK/window.png")"
(( g > 150 && r < 100 )) || fail "the photo in the swapping profile shows $r,$g,$b, not green"

# Saved through the dialogs at quality 50.
saved=$PICTURES/zz-kept.jpg
save_as "$saved"
# ImageMagick guesses a quality only from the standard's tables; the program's own luminance
# table at quality 50 is its base table, which starts (in zigzag order) as below.
luminance_table_head() { od -An -tx1 -v "$1" | tr -d ' \n' | grep -o 'ffdb004300.\{16\}' | head -n 1; }
quality50=ffdb0043001010101011101214
[ "$(luminance_table_head "$APP_DIR/Sample.jpg")" = $quality50 ] || fail "no preview at quality 50 beside the program"
read_as=$(identify -format '%m %w %h' "$saved") || fail "the saved file does not read"
[ "$read_as" = "JPEG 200 300" ] && [ "$(luminance_table_head "$saved")" = $quality50 ] \
  || fail "the saved file reads as $read_as, not a 200 x 300 JPEG at quality 50"
exiftool -b -ICC_Profile "$saved" | cmp -s - "$WORK/profiles/swapped.icc" || fail "the profile is not kept byte for byte"
# The date, the camera, orientation 1 in EXIF and XMP, the new size, the IPTC, the comment and the
# density kept; neither thumbnail; the location kept.
kept=$(exiftool -s3 -n -f -DateTimeOriginal -Make -Model -EXIF:Orientation -XMP:Orientation -ExifImageWidth -ExifImageHeight \
  -IPTC:ObjectName -IPTC:City -Comment -JFIF:ResolutionUnit -JFIF:XResolution -JFIF:YResolution -ThumbnailLength \
  -PhotoshopThumbnail "$saved" | paste -sd'|')
[ "$kept" = "2024:05:20 02:36:12|Kiri Optics|K-1|1|1|200|300|Kiri|Nara|Kiri comment|1|350|72|-|-" ] || fail "the saved tags read $kept"
[ -n "$(tag "$saved" EXIF:GPSLatitude)" ] && [ -n "$(tag "$saved" XMP:GPSLatitude)" ] || fail "the location is lost"
[ "$(tag "$PICTURES/photo.jpg" HasExtendedXMP)" = "$(tag "$saved" HasExtendedXMP)" ] || fail "the extension's reference changed"
exiftool -s3 -sep '|' -XMP-dc:Subject "$saved" | grep -q '|step 899$' || fail "the extended XMP is not carried"

# The grey photo, handed over.
grey_srgb=$(lcms "$WORK/profiles/grey.icc" 128)
"$APP_DIR/kiriview" "$PICTURES/y-grey.jpg" >>"$WORK/app.log" 2>&1 || fail "the hand-over of the grey photo failed"
poll 8 grey_shown || fail "the grey photo is not shown (windows: $(for id in $(app_windows); do window_size "$id"; done | tr '\n' ' '))"
sleep 0.3
import -window "$image" "$WORK/grey-window.png"
near "$(centre "$WORK/grey-window.png")" "$grey_srgb" 3 || fail "the grey photo shows $(centre "$WORK/grey-window.png"), not $grey_srgb"
save_as "$PICTURES/zz-grey.jpg"
[ "$(tag "$PICTURES/zz-grey.jpg" ColorComponents)" = 1 ] || fail "the grey photo is not saved with one component"
exiftool -b -ICC_Profile "$PICTURES/zz-grey.jpg" > "$WORK/saved-grey.icc"
cmp -s "$WORK/saved-grey.icc" "$WORK/profiles/grey.icc" || fail "the grey profile is not kept byte for byte"
stored=$(centre "$PICTURES/zz-grey.jpg")
near "$(lcms "$WORK/saved-grey.icc" "${stored%% *}")" "$grey_srgb" 3 || fail "the saved grey photo renders away from the source"

close_main
