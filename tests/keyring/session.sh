#!/bin/sh
# Runs the command in a D-Bus session of its own with a real Secret Service (GNOME Keyring,
# unlocked with a password of its own) in a scratch home: the operator's keyring is never touched.
# Exits 77 (skipped) where the session tools are not installed.
set -eu
for tool in dbus-run-session gnome-keyring-daemon; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (scripts/bootstrap installs it)"; exit 77; }
done
scratch=$(mktemp -d /tmp/flashwell-keyring.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
# No display: nothing may autolaunch a bus or a prompt on one.
unset DISPLAY WAYLAND_DISPLAY
dbus-run-session -- sh -c 'printf flashwell | gnome-keyring-daemon --unlock --components=secrets >/dev/null && "$@"' \
    session "$@"
