#!/usr/bin/env bash
# Draws the desktop program's logos and icons (SarvikZiruvavo/images/*.png)
# from the fonts it carries: the icons are glyphs of the icon font, the logos
# the product name in the text font. The PNGs are kept in the repository; run
# this only to change them. Needs ImageMagick (apt-get install imagemagick)
# besides the font packages of scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/../SarvikZiruvavo/images"

convert=/usr/bin/convert
icon_font=/usr/share/fonts-font-awesome/fonts/fontawesome-webfont.ttf
text_font=/usr/share/fonts/truetype/lato/Lato-Bold.ttf
light_font=/usr/share/fonts/truetype/lato/Lato-Light.ttf

# glyph NAME CODEPOINT SIZE: one white glyph, centred on a transparent square.
glyph() {
  "$convert" -size "$3x$3" xc:none -font "$icon_font" -pointsize $(($3 * 3 / 4)) \
    -fill white -gravity center -annotate +0+0 "$(printf "\\u$2")" -strip "$1.png"
}

# The devices of the device list, by connection kind.
glyph icon_device_usb f287 96
glyph icon_device_serial f1e6 96
glyph icon_device_bluetooth f293 96
glyph icon_device_playback f008 96
# The applications of the application menu.
glyph icon_respiration f21e 150
glyph icon_sleep f186 150
glyph icon_presence f007 150
glyph icon_adultrespiration f183 150
glyph icon_babyrespiration f1ae 150
glyph icon_heartrate f004 150
glyph icon_baseband f012 150
glyph icon_dax f2db 150
# The application page's control panel: record, recording, settings.
glyph icon_record f192 150
glyph icon_recording f28e 150
glyph icon_settings f013 150

# The logos: the name beside (flat) or below (tall) a radar mark.
"$convert" -size 560x120 xc:none -fill white \
  -font "$icon_font" -pointsize 84 -gravity west -annotate +12+0 "$(printf '\uf1eb')" \
  -font "$text_font" -pointsize 88 -annotate +128+0 "SARVIK" -strip sarvik_logo_flat.png
"$convert" -size 256x256 xc:none -fill white \
  -font "$icon_font" -pointsize 120 -gravity north -annotate +0+22 "$(printf '\uf1eb')" \
  -font "$text_font" -pointsize 58 -gravity south -annotate +0+44 "SARVIK" \
  -font "$light_font" -pointsize 20 -gravity south -annotate +0+18 "radar sensing" -strip sarvik_logo_tall.png
echo "drew $(ls ./*.png | wc -l) images in $(pwd)"
