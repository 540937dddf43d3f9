#!/usr/bin/env bash
# Starts zorvex5 on an Xvfb display with xterm as the terminal, opens the File Decryption dialog
# from the keyboard, decrypts a file encrypted to a fixture key, answers the pass phrase in the
# xterm like a user would, and checks the decrypted bytes. Screenshots of the main window and of
# the terminal are kept in the screenshots folder; they are a by-product and never fail the
# test. The program runs as built, with a plain environment: it finds its batch interpreter and
# engine in the build tree by itself. Exits 77 (skipped) without Xvfb or xdotool.
#   desktop_decrypt.sh ZORVEX5 FIXTURES_DIR SCREENSHOT_DIR
set -euo pipefail
zorvex5="$1" fixtures="$2" shots="$3"

for program in Xvfb xdotool xterm gpg xwd; do
    if ! command -v "$program" >/dev/null; then
        echo "SKIP: $program is not installed"
        exit 77
    fi
done

rm -rf "$shots"
work="$(mktemp -d /tmp/zdt.XXXXXX)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    GNUPGHOME="$work/g" gpgconf --kill gpg-agent 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    shot root "failure"
    echo "--- zorvex5 said:"
    cat "$work/zorvex5.log" 2>/dev/null || true
    exit 1
}

# A screenshot of one window (or the whole screen), as PNG where ImageMagick is there. Whatever
# goes wrong here (no window, a converter that fails) only costs the picture.
shot() {
    local id="$1" name="$2"
    mkdir -p "$shots" 2>/dev/null || return 0
    if [ "$id" = root ]; then
        xwd -root -silent -out "$shots/$name.xwd" 2>/dev/null || return 0
    else
        xwd -id "$id" -silent -out "$shots/$name.xwd" 2>/dev/null || return 0
    fi
    if command -v convert >/dev/null; then
        if convert "$shots/$name.xwd" "$shots/$name.png" >/dev/null 2>&1; then
            rm -f "$shots/$name.xwd"
        else
            rm -f "$shots/$name.png"
        fi
    fi
    return 0
}

# Waits up to $1 seconds for a window whose name matches $2; prints its id.
wait_window() {
    local seconds="$1" pattern="$2" id
    for _ in $(seq $((seconds * 5))); do
        id="$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)"
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.2
    done
    return 1
}

# The secret: a file encrypted to Alice, whose pass phrase the user will type.
export GNUPGHOME="$work/g"
mkdir -m 700 "$GNUPGHOME"
gpg --batch --quiet --import "$fixtures/alice.pub.asc" "$fixtures/alice.sec.asc" 2>/dev/null
mkdir "$work/run"
printf 'Meeting moved to Thursday.\nBring the \xc3\xbcbersicht and the keys.\n' >"$work/expected.txt"
gpg --batch --quiet --trust-model always --encrypt --recipient alice@example.org \
    --output "$work/run/plans.pgp" "$work/expected.txt"

# A settings directory with one cached key (no refresh at start-up) and no Tip of the Day.
export ZORVEX_CONFIG_DIR="$work/config"
mkdir -m 700 "$ZORVEX_CONFIG_DIR"
printf '[Keys]\r\nKey1=2048/00000000 2026/12/08 Alice Rsa <alice@example.org>\r\nNumbrOfKeys=1\r\n' \
    >"$ZORVEX_CONFIG_DIR/ZORVEX 5.INI"
printf '[Tip]\r\nStartUp=1\r\n' >"$ZORVEX_CONFIG_DIR/zorvex5.ini"

# The display. Without -noreset the server starts over whenever its last client leaves: a
# window search that ends while the program is still connecting takes the display from under
# it, and the program aborts before its window appears.
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"

# A window manager where one is installed: it stacks, places and focuses windows as on a desktop.
wm=""
if command -v openbox >/dev/null; then
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    pids+=($!)
    wm=openbox
    for _ in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
fi

# The program, as a user starts it from the build tree: the job's terminal is xterm; nothing
# tells it where its tools are.
unset QT_QPA_PLATFORM ZORVEX_TOOLS_DIR ZORVEX_PGP
export ZORVEX_TERMINAL=xterm
(cd "$work/run" && exec "$zorvex5") >"$work/zorvex5.log" 2>&1 &
pids+=($!)

main="$(wait_window 20 'Win 95/NT Shell for PGP')" || fail "the main window did not appear"
if [ -n "$wm" ]; then
    # The splash is what the user sees first: above the main window, not hidden under it.
    sleep 0.5
    top="$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/.*, //')"
    [ "$(xdotool getwindowname "$top" 2>/dev/null)" != "$(xdotool getwindowname "$main")" ] ||
        fail "the splash is not above the main window"
fi
sleep 3.5 # the splash closes by itself after three seconds
xdotool windowfocus --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
shot "$main" "main-window"

# Operations > Decryption Subsystem...; the dialog opens with the file field focused. Without a
# window manager nobody hands the new window the keyboard, so the test does, as a WM would.
dialog=""
for _ in 1 2 3; do
    # A loaded machine can be slow to open the menu: give it time, and try again if needed.
    xdotool windowfocus "$main" 2>/dev/null || true
    xdotool key alt+o
    sleep 1
    xdotool key d
    dialog="$(wait_window 5 'File Decryption Subsystem')" && break
    xdotool key Escape Escape
done
[ -n "$dialog" ] || fail "the decryption dialog did not open"
xdotool windowfocus --sync "$dialog" 2>/dev/null || xdotool windowfocus "$dialog"
sleep 0.5
xdotool type --delay 30 "plans.pgp"
shot "$dialog" "decryption-dialog"
xdotool key Return

terminal=""
for _ in $(seq 100); do
    terminal="$(xdotool search --onlyvisible --class xterm 2>/dev/null | head -n 1 || true)"
    [ -n "$terminal" ] && break
    sleep 0.2
done
[ -n "$terminal" ] || fail "no terminal window opened for the job"
sleep 2 # the engine asks for the pass phrase

# Show Terminal: the terminal, lost behind the main window after a click there, comes back to the
# front with the keyboard from the wait window's button. It opened wholly on the screen, titled
# after the job.
if [ -n "$wm" ]; then
    eval "$(xdotool getwindowgeometry --shell "$terminal")"
    [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1280 ] && [ $((Y + HEIGHT)) -le 1024 ] ||
        fail "the terminal is not wholly on the screen (${WIDTH}x${HEIGHT}+$X+$Y)"
    xdotool getwindowname "$terminal" | grep -q "Decryption" ||
        fail "the terminal's title does not name the job: $(xdotool getwindowname "$terminal")"
    xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowactivate "$main"
    sleep 0.5
    wait="$(wait_window 5 'Job running')" || fail "no wait window"
    xdotool windowactivate --sync "$wait" 2>/dev/null || xdotool windowactivate "$wait"
    sleep 0.5
    xdotool key alt+t
    for _ in $(seq 25); do [ "$(xdotool getactivewindow)" = "$terminal" ] && break; sleep 0.2; done
    [ "$(xdotool getactivewindow)" = "$terminal" ] || fail "Show Terminal did not bring the terminal to the front"
    top="$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/.*, //')"
    [ "$((top))" = "$((terminal))" ] || fail "the terminal is not on top after Show Terminal"
    shot root "show-terminal"
fi
xdotool windowfocus --sync "$terminal" 2>/dev/null || xdotool windowfocus "$terminal"
shot "$terminal" "terminal"
xdotool type --delay 40 "alice pass"
xdotool key Return

for _ in $(seq 150); do
    [ -f "$work/run/plans" ] && [ -z "$(pgrep -f "zorvex-cmd $work/run" || true)" ] && break
    sleep 0.2
done
[ -f "$work/run/plans" ] || fail "no decrypted file appeared ($(ls "$work/run"))"
cmp "$work/run/plans" "$work/expected.txt" || fail "the decrypted file differs from the original"
[ ! -e "$work/run/zorvex\$\$.tmp" ] || fail "the job marker was left behind"
# A signed encryption: Signed style; the recipient, then the pass phrase, typed in the terminal.
gpg --with-colons --fingerprint alice@example.org | awk -F: '/^fpr/ { print $10 ":6:"; exit }' |
    gpg --batch --quiet --import-ownertrust
printf 'For your eyes.\n' >"$work/run/note.txt"
for _ in $(seq 50); do # the last job's terminal goes first
    [ -z "$(xdotool search --onlyvisible --class xterm 2>/dev/null || true)" ] && break
    sleep 0.2
done
xdotool windowfocus "$main" 2>/dev/null || true
xdotool key alt+o && sleep 1 && xdotool key e
dialog="$(wait_window 10 'Encryption Subsystem')" || fail "the encryption dialog did not open"
xdotool windowfocus --sync "$dialog" 2>/dev/null || xdotool windowfocus "$dialog"
sleep 1 && xdotool type --delay 30 "note.txt" && xdotool key alt+s && sleep 0.5 && xdotool key Return
for _ in $(seq 100); do
    signer="$(xdotool search --onlyvisible --class xterm 2>/dev/null | head -n 1 || true)"
    [ -n "$signer" ] && break
    sleep 0.2
done
[ -n "$signer" ] || fail "no terminal window opened for the signed encryption"
sleep 2 && xdotool windowfocus --sync "$signer" 2>/dev/null || xdotool windowfocus "$signer"
xdotool type --delay 40 "alice@example.org" && xdotool key Return
sleep 2 && shot "$signer" "signing-terminal" && xdotool type --delay 40 "alice pass" && xdotool key Return
for _ in $(seq 150); do
    [ -f "$work/run/note.pgp" ] && [ -z "$(pgrep -f "zorvex-cmd $work/run" || true)" ] && break
    sleep 0.2
done
gpg --batch --status-fd 1 --pinentry-mode loopback --passphrase "alice pass" --decrypt \
    "$work/run/note.pgp" 2>/dev/null | grep -q GOODSIG || fail "no signed encryption ($(ls "$work/run"))"
shot "$main" "main-window-after"
echo "PASS: decrypted through the dialog and the terminal; screenshots in $shots"
