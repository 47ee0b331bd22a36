#!/usr/bin/env bash
# End to end: the test host loads velpdl.pdl under Wine, runs the
# handshake and opens the manager; a screenshot of the open manager is
# kept with the artifacts.
set -euo pipefail
build=$1
artifacts=$2
mkdir -p "$artifacts"
host="$build/velhost.exe"

handshake=$(wine "$host" --handshake | tr -d "\r")
echo "$handshake"
grep -q '^LibCallback(1) = 3$' <<<"$handshake"
grep -q '^     4..  14: 76 65 6C 70 64 6C 2E 70 64 6C 00$' <<<"$handshake"   # "velpdl.pdl"
grep -q '^   793.. 793: 00$' <<<"$handshake"
! grep -q 'moved the stack pointer' <<<"$handshake"

dump="$artifacts/host-manager.txt"
rm -f "$dump"
wine "$host" --manager --dump "Z:$dump" --close-after 3000 &
hostPid=$!
for _ in $(seq 100); do [[ -f "$dump" ]] && break; sleep 0.1; done
sleep 0.5
xwd -root -silent | convert xwd:- png:"$artifacts/host-manager.png"
wait "$hostPid"
tr -d "\r" < "$dump" > "$dump.txt" && mv "$dump.txt" "$dump"
cat "$dump"
grep -q '^  CURRENT USER$' "$dump"
grep -q '^Rows of CURRENT USER:$' "$dump"
echo "screenshot: $artifacts/host-manager.png"
