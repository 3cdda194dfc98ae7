#!/usr/bin/env bash
# Runs a command on a virtual X server of its own: Xvfb picks a free display number itself
# (-displayfd), so that runs beside other X servers on the machine never share or race for one;
# it does not reset when a test closes its last connection, which would refuse the next test.
set -euo pipefail
dir="$(mktemp -d)"
server=""
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$dir"
}
trap cleanup EXIT
: >"$dir/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
server=$!
# The number arrives, with its newline, once the server takes connections.
for _ in $(seq 200); do
  if [ "$(wc -l <"$dir/display")" -ge 1 ]; then break; fi
  if ! kill -0 "$server" 2>/dev/null; then
    echo "Xvfb did not start:" >&2
    cat "$dir/log" >&2
    exit 1
  fi
  sleep 0.1
done
number="$(head -n1 "$dir/display")"
if [ -z "$number" ]; then
  echo "Xvfb gave no display number" >&2
  exit 1
fi
# The server's X11 only: no Wayland compositor or console is tried instead.
env -u WAYLAND_DISPLAY DISPLAY=":$number" SDL_VIDEODRIVER=x11 "$@"
