#!/usr/bin/env bash
# The run command: builds the plug-in and opens the manager in the test
# host under Wine. It uses a demo prefix seeded with example entries unless
# VELMORA_PREFIX names a Wine prefix of your own. Without a display it runs
# under Xvfb, saves a screenshot and prints what the manager lists.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}

if [[ "${1:-}" != "--inner" ]]; then
  bash "$root/scripts/setup.sh"
  bash "$root/scripts/build.sh" --win32-only
  source "$root/scripts/lib.sh"
  enter_with_display "$0" 1024x768x24
fi

if [[ -n "${VELMORA_PREFIX:-}" ]]; then
  export WINEPREFIX=$VELMORA_PREFIX
else
  export WINEPREFIX=$BUILD_DIR/demo-prefix
fi
source "$root/scripts/wine-env.sh"
wine_prefix_ready
trap wine_server_stop EXIT
wine_server_start
[[ -n "${VELMORA_PREFIX:-}" ]] || wine "$BUILD_DIR/win32/demoseed.exe"

host="$BUILD_DIR/win32/velhost.exe"
if [[ "${2:-}" != "--headless" ]]; then
  wine "$host" --manager
  exit 0
fi

out="$BUILD_DIR/run"
mkdir -p "$out"
rm -f "$out/manager.txt"
wine "$host" --manager --dump "Z:$out/manager.txt" --close-after 4000 &
hostPid=$!
for _ in $(seq 150); do [[ -f "$out/manager.txt" ]] && break; sleep 0.2; done
sleep 0.5
xwd -root -silent | convert xwd:- -crop 1030x500+0+0 png:"$out/manager.png"
wait "$hostPid"
# Again, with what the commands removed on show.
wine "$host" --manager --show REMOVED --close-after 3000 &
hostPid=$!
sleep 2
xwd -root -silent | convert xwd:- -crop 1030x500+0+0 png:"$out/removed.png"
wait "$hostPid"
# Once more, made taller (the first opening kept its built-in height) and
# on the machine's root: every logon place in the tree.
layout=$(find "$WINEPREFIX/drive_c/users" -path '*Velmora/Layout.txt' | head -1)
if [[ -n "$layout" ]]; then
  sed -i -E 's/^(window=-?[0-9]+,)-?[0-9]+,([0-9]+),[0-9]+/\120,\2,700/' "$layout"
  wine "$host" --manager --show "LOCAL MACHINE" --close-after 3000 &
  hostPid=$!
  sleep 2
  xwd -root -silent | convert xwd:- -crop 1030x740+0+0 png:"$out/places.png"
  wait "$hostPid"
fi
# Compared with the list the demo saved "before": one entry new, one
# changed, one gone.
wine "$host" --manager --show "CURRENT USER" --compare 'C:\Velmora list before.csv' --close-after 4000 &
hostPid=$!
sleep 3
xwd -root -silent | convert xwd:- -crop 1030x740+0+0 png:"$out/compared.png"
wait "$hostPid"
echo "Screenshots of the open manager: $out/manager.png (the first opening), $out/removed.png, $out/places.png, $out/compared.png"
cat "$out/manager.txt"
