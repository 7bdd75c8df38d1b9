#!/usr/bin/env bash
# Runs a command on an Xvfb display of its own. Xvfb chooses a free display number itself
# (-displayfd), so tests started side by side never take the same one, as `xvfb-run -a` can:
# it picks the number before the server claims it.
# Usage: xvfb_run.sh [-s "SERVER ARGS"] COMMAND [ARGS...]
set -uo pipefail
server_args="-screen 0 1280x1024x24"
if [[ ${1-} == -s ]]; then
    server_args=$2
    shift 2
fi
dir=$(mktemp -d)
xvfb=
cleanup() {
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT
mkfifo "$dir/display"
exec 4<>"$dir/display"
# shellcheck disable=SC2086 # the server's arguments are words, as xvfb-run takes them
Xvfb -displayfd 4 -nolisten tcp $server_args 2>"$dir/log" &
xvfb=$!
if ! read -r -t 30 -u 4 number; then
    echo "xvfb_run.sh: Xvfb did not start: $(cat "$dir/log")" >&2
    exit 1
fi
exec 4>&-
DISPLAY=:$number "$@"
exit $?
