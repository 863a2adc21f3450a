#!/usr/bin/env bash
# Runs a test program that needs an ordinary user: Mozc's server refuses to
# run as root. As root, where setpriv, Xvfb and Mozc under Fcitx 5 or IBus are installed,
# the program runs as the user nobody with a temporary home, an X server of
# its own and nothing of root's session (the program starts its own session
# bus); otherwise it runs as it is and decides itself whether it can run.
# Either way it is stopped after KOTOVEN_UNPRIVILEGED_SECONDS (300).
# Usage: run-unprivileged.sh PROGRAM [ARGS...]
set -uo pipefail
program=${1:?test program}
shift
limit=${KOTOVEN_UNPRIVILEGED_SECONDS:-300}

run_limited() { # command...
    timeout --kill-after=10 "$limit" "$@"
    local status=$?
    [ "$status" -ne 124 ] && [ "$status" -ne 137 ] || echo "run-unprivileged: stopped after $limit s" >&2
    return "$status"
}

why=""
if [ "$(id -u)" -ne 0 ]; then
    why="not root"
elif ! command -v setpriv >/dev/null || ! command -v xvfb-run >/dev/null; then
    why="setpriv or xvfb-run is not installed"
elif { [ ! -x /usr/bin/fcitx5 ] || [ ! -e /usr/share/fcitx5/addon/mozc.conf ]; } &&
    { [ ! -x /usr/bin/ibus-daemon ] || [ ! -e /usr/share/ibus/component/mozc.xml ]; }; then
    why="neither Fcitx 5 nor IBus is installed with Mozc"
elif ! id nobody >/dev/null 2>&1; then
    why="there is no user nobody"
fi
if [ -n "$why" ]; then
    [ "$(id -u)" -ne 0 ] || echo "run-unprivileged: running as root ($why)"
    run_limited "$program" "$@"
    exit $?
fi

uid=$(id -u nobody)
gid=$(id -g nobody)
home=$(mktemp -d)
# Whatever this run started and left behind (a session bus that forked away
# from a program that was stopped) has the temporary home.
leftovers() {
    local proc
    for proc in /proc/[0-9]*; do
        [ "$(stat -c %u "$proc" 2>/dev/null)" = "$uid" ] || continue
        { tr '\0' '\n' <"$proc/environ"; } 2>/dev/null | grep -qxF "HOME=$home" && kill "${proc#/proc/}" 2>/dev/null
    done
}
trap 'leftovers; rm -rf "$home"' EXIT
mkdir -m 700 "$home/runtime"
chown -R "$uid:$gid" "$home"
as_nobody=(setpriv --reuid="$uid" --regid="$gid" --clear-groups)

# A build under a folder closed to other users: run a copy of the program.
if ! "${as_nobody[@]}" test -x "$program"; then
    cp "$program" "$home/" || exit 1
    program="$home/$(basename "$program")"
    chown "$uid:$gid" "$program"
fi

echo "run-unprivileged: running as nobody, home $home"
cd "$home" || exit 1
run_limited "${as_nobody[@]}" \
    env -u DISPLAY -u XAUTHORITY -u DBUS_SESSION_BUS_ADDRESS -u TMPDIR -u XDG_CONFIG_HOME \
        -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME \
        HOME="$home" USER=nobody LOGNAME=nobody XDG_RUNTIME_DIR="$home/runtime" \
    xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$program" "$@"
