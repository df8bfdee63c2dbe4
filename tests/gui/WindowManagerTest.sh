#!/bin/bash
# SPDX-License-Identifier: MIT
# The real editor on a virtual X display under a window manager (openbox),
# where what the window manager does matters:
#  - on a 1280 x 800 screen magnified twice the first window, frame and
#    all, fits the screen;
#  - the note about a file named on the command line stands centred over
#    the main window, which shows its entries behind it.
# Usage: WindowManagerTest.sh EDITOR SAMPLE; exit status 77 when the tools are missing.
set -u
editor=$1 sample=$2
for tool in xvfb-run openbox xdotool xwininfo xprop import convert; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
if [ -z "${LUMO_UNDER_XVFB:-}" ]; then
    LUMO_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
work=$(mktemp -d) || exit 1
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
fail=0

# Prints "x y width height" of a window with the frame the window manager put around it.
framed() {
    local x y w h
    x=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print $4}')
    y=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ {print $4}')
    w=$(xwininfo -id "$1" | awk '/Width:/ {print $2}')
    h=$(xwininfo -id "$1" | awk '/Height:/ {print $2}')
    read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    echo $((x - ${l:-0})) $((y - ${t:-0})) $((w + ${l:-0} + ${r:-0})) $((h + ${t:-0} + ${b:-0}))
}
# The first window of that exact name, waiting up to 20 s.
window() {
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.2
    done
}

cp "$sample" "$work/sample.lumo"
QT_SCALE_FACTOR=2 "$editor" "$work/sample.lumo" >/dev/null 2>&1 &
editorPid=$!
main=$(window 'sample.lumo - lumoEdit')
if [ -z "$main" ]; then
    echo "FAIL: no main window at QT_SCALE_FACTOR=2"; fail=1
else
    sleep 1
    read -r x y w h < <(framed "$main")
    echo "magnified twice: the window with its frame is ${w}x${h} at $x,$y"
    if [ "$x" -lt 0 ] || [ "$y" -lt 0 ] || [ $((x + w)) -gt 1280 ] || [ $((y + h)) -gt 800 ]; then
        echo "FAIL: the first window does not fit the 1280x800 screen"; fail=1
    fi
fi
kill $editorPid 2>/dev/null; wait $editorPid 2>/dev/null

{ cat "$sample"; printf 'xyz'; } > "$work/padded.lumo"
"$editor" "$work/padded.lumo" >/dev/null 2>&1 &
editorPid=$!
main=$(window 'padded.lumo - lumoEdit')
box=$(window 'lumoEdit')
if [ -z "$main" ] || [ -z "$box" ]; then
    echo "FAIL: no main window or no note (main '$main', note '$box')"; fail=1
else
    sleep 1
    read -r mx my mw mh < <(framed "$main")
    read -r bx by bw bh < <(framed "$box")
    dx=$(( (bx + bw / 2) - (mx + mw / 2) )) dy=$(( (by + bh / 2) - (my + mh / 2) ))
    echo "the note's centre is ${dx#-},${dy#-} px from the main window's"
    if [ "${dx#-}" -gt 40 ] || [ "${dy#-}" -gt 40 ]; then
        echo "FAIL: the note is not centred over the main window"; fail=1
    fi
    # The main window's own picture, where the menu and the first entries
    # are: a window not yet painted is one flat colour.
    import -window "$main" -crop "${mw}x80+0+0" "$work/strip.png" 2>/dev/null
    colours=$(convert "$work/strip.png" -format %k info: 2>/dev/null)
    echo "the top of the main window shows ${colours:-no} colours"
    if [ "${colours:-0}" -lt 8 ]; then
        echo "FAIL: the main window behind the note is blank"; fail=1
    fi
fi
kill $editorPid 2>/dev/null; wait $editorPid 2>/dev/null
exit $fail
