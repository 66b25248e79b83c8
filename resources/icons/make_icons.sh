#!/bin/sh
# Draws the program's flat icons with ImageMagick and writes resources/icons.qrc.
# Run from this folder after changing a drawing; the PNG files are committed.
set -eu
cd "$(dirname "$0")"

BLUE='#189ede'
GREY='#7a7a7a'
RED='#e0483e'
GREEN='#3aa757'
ORANGE='#f0a030'
S=32

canvas() { convert -size ${S}x${S} xc:none "$@"; }

# stroke <file> <colour> <width> <draw commands...>
stroke() {
    file=$1 colour=$2 width=$3; shift 3
    canvas -fill none -stroke "$colour" -strokewidth "$width" -draw "$*" "$file"
}
# fill <file> <colour> <draw commands...>
fill() {
    file=$1 colour=$2; shift 2
    canvas -fill "$colour" -stroke none -draw "$*" "$file"
}
# badge <file> <colour> <text>: a rounded square with one or two white letters
badge() {
    canvas -fill "$2" -draw "roundrectangle 2,2 29,29 6,6" \
        -fill white -font DejaVu-Sans-Bold -pointsize $4 -gravity center -annotate +0+0 "$3" "$1"
}
# disc <file> <colour> <text> <pointsize>
disc() {
    canvas -fill "$2" -draw "circle 16,16 16,2" \
        -fill white -font DejaVu-Sans-Bold -pointsize $4 -gravity center -annotate +0+0 "$3" "$1"
}

# Window controls (drawn white: they sit on the blue title bars).
stroke CloseWindow.png white 3 "line 7,7 25,25 line 25,7 7,25"
stroke Close.png white 2.5 "line 9,9 23,23 line 23,9 9,23"
stroke max.png white 2.5 "rectangle 8,8 24,24"
stroke min.png white 2.5 "line 8,22 24,22"
canvas -fill none -stroke white -strokewidth 2.5 -draw "rectangle 7,12 20,25" \
    -draw "polyline 12,12 12,7 25,7 25,20 20,20" restore.png

# Tab close buttons and indicators.
stroke closeDongle.png "$GREY" 2.5 "line 10,10 22,22 line 22,10 10,22"
canvas -fill "$RED" -draw "circle 16,16 16,4" -stroke white -strokewidth 2.5 \
    -draw "line 11,11 21,21 line 21,11 11,21" closeDongleHover.png
fill down_arrow.png "$GREY" "polygon 7,12 25,12 16,22"
stroke checked.png "$BLUE" 4 "polyline 6,16 13,23 26,9"
stroke checked_gray.png '#a0a0a0' 4 "polyline 6,16 13,23 26,9"

# Generic actions.
stroke add.png "$BLUE" 4 "line 16,5 16,27 line 5,16 27,16"
stroke remove.png "$RED" 4 "line 5,16 27,16"
canvas -fill none -stroke "$BLUE" -strokewidth 3 -draw "arc 5,5 27,27 300,230" \
    -fill "$BLUE" -stroke none -draw "polygon 27,4 28,14 18,11" refresh.png
canvas -fill none -stroke "$GREEN" -strokewidth 3 -draw "arc 5,5 27,27 300,230" \
    -fill "$GREEN" -stroke none -draw "polygon 27,4 28,14 18,11" refreshDongle.png
canvas -fill none -stroke "$ORANGE" -strokewidth 3 -draw "arc 5,5 27,27 300,230" \
    -fill "$ORANGE" -stroke none -draw "polygon 27,4 28,14 18,11" reset.png
canvas -fill "$BLUE" -draw "roundrectangle 4,4 28,28 3,3" -fill white -draw "rectangle 9,4 23,12" \
    -fill white -draw "rectangle 8,17 24,28" -fill "$BLUE" -draw "rectangle 18,6 21,10" save.png
canvas -fill none -stroke "$GREY" -strokewidth 2.5 -draw "polyline 8,10 10,28 22,28 24,10" \
    -draw "line 5,9 27,9 line 12,5 20,5" -draw "line 13,13 13,24 line 19,13 19,24" clear.png
canvas -fill "$BLUE" -draw "polygon 5,27 8,19 22,5 27,10 13,24" -fill white -draw "polygon 6,26 8,21 11,24" edit.png
canvas -fill none -stroke "$BLUE" -strokewidth 3 -draw "rectangle 5,12 20,27" \
    -draw "line 14,18 27,5" -fill "$BLUE" -stroke none -draw "polygon 20,4 28,4 28,12" export.png
stroke select.png "$BLUE" 3 "rectangle 5,5 27,27 polyline 10,16 15,21 23,11"
canvas -fill none -stroke "$BLUE" -strokewidth 3 -draw "circle 16,16 16,8" -draw "line 16,2 16,7 line 16,25 16,30 line 2,16 7,16 line 25,16 30,16" \
    -fill "$BLUE" -stroke none -draw "circle 16,16 16,13" settings.png
disc info.png "$BLUE" i 18
disc About.png "$BLUE" '?' 18
disc error.png "$RED" '!' 18
canvas -fill "$ORANGE" -draw "polygon 16,3 30,28 2,28" -fill white -font DejaVu-Sans-Bold -pointsize 14 \
    -gravity center -annotate +0+4 '!' warning.png
disc status.png "$GREEN" 'S' 14
canvas -fill "$BLUE" -draw "polygon 16,4 26,10 26,22 16,28 6,22 6,10" -fill white -draw "circle 16,16 16,11" launcher.png
badge vantor.png "$BLUE" V 20

# Dongles and devices.
canvas -fill "$BLUE" -draw "roundrectangle 10,3 22,22 2,2" -fill "$GREY" -draw "rectangle 12,22 20,29" \
    -fill white -draw "rectangle 14,24 15,27 rectangle 17,24 18,27" dongle.png
canvas -fill "$BLUE" -draw "roundrectangle 10,3 22,22 2,2" -fill "$GREY" -draw "rectangle 12,22 20,29" \
    -fill "$GREEN" -draw "circle 25,8 25,3" -fill white -stroke white -strokewidth 2 -draw "line 22,8 28,8 line 25,5 25,11" addDongle.png
canvas -fill "$BLUE" -draw "roundrectangle 8,3 24,29 3,3" -fill white -draw "rectangle 11,7 21,22" -draw "circle 16,26 16,25" device.png

# Scanning and connecting.
canvas -fill none -stroke "$BLUE" -strokewidth 2.5 -draw "arc 4,4 28,28 200,340 arc 9,9 23,23 200,340" \
    -fill "$BLUE" -stroke none -draw "circle 16,18 16,15" scan.png
canvas -fill none -stroke "$GREY" -strokewidth 2.5 -draw "arc 4,4 28,28 200,340 arc 9,9 23,23 200,340" \
    -fill "$RED" -stroke none -draw "rectangle 11,16 21,26" stopscan.png
canvas -fill none -stroke "$BLUE" -strokewidth 3 -draw "line 4,16 12,16 line 20,16 28,16" \
    -fill "$BLUE" -stroke none -draw "roundrectangle 10,10 15,22 1,1 roundrectangle 17,10 22,22 1,1" connect.png
canvas -fill none -stroke "$GREEN" -strokewidth 3 -draw "line 4,16 12,16 line 20,16 28,16" \
    -fill "$GREEN" -stroke none -draw "roundrectangle 10,10 15,22 1,1 roundrectangle 17,10 22,22 1,1" connected.png
canvas -fill none -stroke "$RED" -strokewidth 3 -draw "line 3,16 9,16 line 23,16 29,16 line 14,9 18,23" \
    -fill "$RED" -stroke none -draw "roundrectangle 8,10 12,22 1,1 roundrectangle 20,10 24,22 1,1" disconnect.png
canvas -fill none -stroke "$GREY" -strokewidth 3 -draw "line 3,16 9,16 line 23,16 29,16" \
    -fill "$GREY" -stroke none -draw "roundrectangle 8,10 12,22 1,1 roundrectangle 20,10 24,22 1,1" disconnected.png
canvas -fill none -stroke "$RED" -strokewidth 3 -draw "line 4,16 12,16 line 20,16 28,16" \
    -fill "$RED" -stroke none -draw "roundrectangle 10,10 15,22 1,1 roundrectangle 17,10 22,22 1,1" cancelConnect.png
badge autoConnect.png "$BLUE" A 18
badge cancelAutoConnect.png "$RED" A 18
badge disAutoConnect.png "$GREY" A 18
canvas -fill none -stroke "$BLUE" -strokewidth 3 -draw "circle 13,13 13,5" -draw "line 19,19 27,27" discover.png
canvas -fill none -stroke "$BLUE" -strokewidth 3 -draw "arc 5,5 27,27 20,160 arc 5,5 27,27 200,340" \
    -fill "$BLUE" -stroke none -draw "polygon 27,17 29,8 21,11 polygon 5,15 3,24 11,21" sync.png
canvas -fill none -stroke "$RED" -strokewidth 3 -draw "arc 5,5 27,27 20,160 arc 5,5 27,27 200,340" \
    -fill "$RED" -stroke none -draw "polygon 27,17 29,8 21,11 polygon 5,15 3,24 11,21" stopSync.png
canvas -fill none -stroke "$GREY" -strokewidth 3 -draw "arc 5,5 27,27 20,160 arc 5,5 27,27 200,340 line 8,8 24,24" cancelSync.png
fill startAdv.png "$BLUE" "polygon 9,5 26,16 9,27"
fill stopAdv.png "$RED" "rectangle 8,8 24,24"
canvas -fill "$BLUE" -draw "roundrectangle 3,9 22,23 3,3" -draw "polygon 22,12 29,8 29,24 22,20" pairing.png
canvas -fill none -stroke "$BLUE" -strokewidth 3 -draw "line 5,11 24,11 line 27,21 8,21" \
    -fill "$BLUE" -stroke none -draw "polygon 22,6 29,11 22,16 polygon 10,16 3,21 10,26" exchangeMTU.png
canvas -fill none -stroke "$BLUE" -strokewidth 3 -draw "line 6,10 26,10 line 6,16 26,16 line 6,22 20,22" \
    -fill "$GREEN" -stroke none -draw "polygon 21,19 29,23 21,27" readCharacteristicAll.png
canvas -fill "$BLUE" -draw "polygon 16,4 20,8 12,8" -draw "roundrectangle 8,8 24,22 6,6" -draw "rectangle 6,20 26,23" \
    -draw "circle 16,26 16,24" Notification.png
canvas -fill "$GREY" -draw "roundrectangle 8,8 24,22 6,6" -draw "rectangle 6,20 26,23" -draw "circle 16,26 16,24" \
    -stroke "$RED" -strokewidth 3 -draw "line 5,5 27,27" notificationDisable.png
badge registerPSM.png "$BLUE" P 18
badge getLocalDeviceInformation.png "$BLUE" i 20
badge updateMode.png "$ORANGE" U 18
badge rfCalibration.png "$GREEN" XO 12

# Tree expand and collapse.
# An open form shows GapCollapse, a folded one GapExpand: draw each as the state it marks.
stroke GapExpand.png "$GREY" 3 "polyline 12,8 20,16 12,24"
stroke GapCollapse.png "$GREY" 3 "polyline 8,12 16,20 24,12"
stroke expandAll.png "$BLUE" 3 "polyline 8,7 16,15 24,7 polyline 8,17 16,25 24,17"
stroke callpseAll.png "$BLUE" 3 "polyline 8,15 16,7 24,15 polyline 8,25 16,17 24,25"

# Icons kept under their original resource paths.
mkdir -p resources/icons
badge resources/icons/BIG_Sync4.png "$BLUE" BS 12
badge resources/icons/IDT.png "$GREEN" IDT 10
badge resources/icons/LCP.png "$GREEN" LCP 10
badge resources/icons/RPA.png "$BLUE" RPA 10
badge resources/icons/Terminate_BIG1.png "$RED" BIG 10
badge resources/icons/Terminate_BIG_Sync.png "$RED" BS 12
canvas -fill none -stroke "$BLUE" -strokewidth 3 -draw "line 16,4 16,21 line 6,27 26,27" \
    -fill "$BLUE" -stroke none -draw "polygon 9,15 23,15 16,23" resources/icons/download.png
canvas -fill none -stroke "$BLUE" -strokewidth 3 -draw "roundrectangle 3,11 17,21 5,5 roundrectangle 15,11 29,21 5,5" resources/icons/getLink.png
canvas -fill "$GREY" -draw "roundrectangle 3,9 29,23 7,7" -fill white -draw "circle 22,16 22,11" resources/icons/log_switch.png
badge resources/icons/open_BIG.png "$BLUE" BIG 10
badge resources/icons/open_CIG.png "$BLUE" CIG 10
canvas -fill none -stroke "$GREY" -strokewidth 3 -draw "circle 13,13 13,5" -draw "line 19,19 27,27" resources/icons/search.png
canvas -fill none -stroke "$GREY" -strokewidth 3 -draw "circle 16,16 16,6" -fill "$GREY" -stroke none \
    -draw "circle 16,16 16,13" resources/icons/setdown1.png

# The level marks stand inline in the log panes' 8-point lines: keep them small.
for f in info.png warning.png error.png; do
    convert "$f" -resize 14x14 "$f"
done

# Eight-bit PNGs without time stamps, so that a rerun changes only what was redrawn.
for f in *.png resources/icons/*.png; do
    convert "$f" -depth 8 -define png:exclude-chunks=date,time -strip "$f"
done

# The resource list: every PNG under its alias (path without folder and suffix),
# the ones under resources/icons/ under their full path.
{
    echo '<RCC>'
    echo '    <qresource prefix="/icons">'
    for f in *.png; do
        echo "        <file alias=\"${f%.png}\">icons/$f</file>"
    done
    for f in resources/icons/*.png; do
        echo "        <file alias=\"$f\">icons/$f</file>"
    done
    echo '    </qresource>'
    echo '</RCC>'
} > ../icons.qrc
