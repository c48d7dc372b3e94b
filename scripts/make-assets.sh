#!/bin/sh
# Draws the sample pictures, synthesizes the sample sounds and writes the sample workbook into
# assets/sample/, then checks the whole folder. The results are committed; the build only copies
# them next to the program.
#
# Needs (Debian): imagemagick sox fonts-dejavu-core python3-xlwt python3-xlrd
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/assets/sample"
mkdir -p "$out/image" "$out/sound"

bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -f "$bold" ] || { echo "make-assets: font $bold is missing" >&2; exit 1; }

# Tokens: 105 x 105 px, a coloured card with the player's number. Guests are white cards with a
# coloured frame and "G1".."G3", so they stand out from the nine regulars at a glance.
token() { # number label background foreground frame caption
    convert -size 105x105 "xc:$5" \
        -fill "$3" -draw "roundrectangle 4,4 100,100 12,12" \
        -font "$bold" -fill "$4" -gravity center -pointsize 56 -annotate +0-6 "$2" \
        -font "$bold" -pointsize 11 -annotate +0+36 "$6" \
        +repage -strip "GIF:$out/image/p$1.gif"
}
token 01 1 '#d62728' white '#7f1415' PLAYER
token 02 2 '#ff7f0e' white '#9a4b06' PLAYER
token 03 3 '#e6c619' '#3a3000' '#8a7508' PLAYER
token 04 4 '#2ca02c' white '#175717' PLAYER
token 05 5 '#17becf' '#00363c' '#0b6f79' PLAYER
token 06 6 '#1f77b4' white '#0f3f60' PLAYER
token 07 7 '#9467bd' white '#553577' PLAYER
token 08 8 '#e377c2' white '#8e3a73' PLAYER
token 09 9 '#8c564b' white '#4d2e28' PLAYER
token 10 G1 white '#c2185b' '#c2185b' GUEST
token 11 G2 white '#00796b' '#00796b' GUEST
token 12 G3 white '#5d4037' '#5d4037' GUEST

# The court, drawn at 15 twips per pixel to the window layout: the court spans pixels 8..385 x
# 8..257; slot 1 is top left (8,8), 2 bottom left (8,136), 3 top right (200,8), 4 bottom right
# (200,136), each 185 x 121. The net runs down the middle between the left and right halves.
convert -size 393x265 'xc:#e8e8e8' \
    -fill '#2e7d32' -draw 'rectangle 8,8 385,257' \
    -fill '#388e3c' -draw 'rectangle 8,8 193,129' -draw 'rectangle 8,136 193,257' \
    -draw 'rectangle 200,8 385,129' -draw 'rectangle 200,136 385,257' \
    -fill none -stroke white -strokewidth 3 -draw 'rectangle 10,10 383,255' \
    -strokewidth 2 -draw 'line 10,132 193,132' -draw 'line 200,132 383,132' \
    -draw 'line 140,10 140,255' -draw 'line 253,10 253,255' \
    -stroke '#263238' -strokewidth 5 -draw 'line 196,4 196,261' \
    -stroke white -strokewidth 1 -draw 'line 196,4 196,261' \
    -stroke none -fill '#263238' -draw 'circle 196,5 196,1' -draw 'circle 196,260 196,264' \
    -fill '#ffffffb0' -draw 'circle 22,22 22,12' -draw 'circle 22,150 22,140' \
    -draw 'circle 214,22 214,12' -draw 'circle 214,150 214,140' \
    -font "$bold" -pointsize 14 -fill '#1b5e20' -gravity northwest \
    -annotate +18+14 1 -annotate +18+142 2 -annotate +210+14 3 -annotate +210+142 4 \
    +repage -strip "GIF:$out/image/CourtFrame.gif"

# Titles picture: 54 x 35 px, a 24-bit Windows bitmap.
convert -size 54x35 'xc:#1a237e' \
    -fill '#ffd54f' -draw 'rectangle 0,29 53,34' \
    -font "$bold" -pointsize 17 -fill white -gravity center -annotate +0-3 QVN \
    +repage -strip -type TrueColor "BMP3:$out/QVN.bmp"

# Sounds: 16-bit mono PCM at 44.1 kHz, normalized well below full scale.
wav() { sox -q -R -n -r 44100 -c 1 -b 16 -e signed-integer "$@"; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Chime: a bell-like E6 with its octave, fading out over 0.4 s.
wav "$tmp/k1.wav" synth 0.4 sine 1318.5 fade q 0.003 0.4 0.37 vol 0.30
wav "$tmp/k2.wav" synth 0.4 sine 2637 fade q 0.003 0.4 0.30 vol 0.10
sox -q -R -m "$tmp/k1.wav" "$tmp/k2.wav" -b 16 "$out/sound/きん.wav" norm -10

# Pop: a quick downward sweep, 0.15 s.
wav "$out/sound/ポコ.wav" synth 0.15 sine 900-220 fade q 0.004 0.15 0.12 norm -10

# Sparkle: four rising pings, each entering 0.08 s after the last, 0.5 s in all.
wav "$tmp/s0.wav" synth 0.26 sine 2093 fade q 0.002 0.26 0.24
wav "$tmp/s1.wav" synth 0.26 sine 2637 fade q 0.002 0.26 0.24 pad 0.08 0
wav "$tmp/s2.wav" synth 0.26 sine 3136 fade q 0.002 0.26 0.24 pad 0.16 0
wav "$tmp/s3.wav" synth 0.26 sine 4186 fade q 0.002 0.26 0.24 pad 0.24 0
sox -q -R -m "$tmp/s0.wav" "$tmp/s1.wav" "$tmp/s2.wav" "$tmp/s3.wav" -b 16 "$out/sound/キラキラ.wav" \
    trim 0 0.5 fade q 0 0.5 0.1 norm -12

"$root/scripts/make-sample-workbook.sh"
/usr/bin/python3 "$root/assets/check_sample.py" "$out" pictures sounds
echo "make-assets: $out is complete"
