#!/usr/bin/env bash
# Runs the manager's DPI test again with the prefix set to 144 DPI (Wine
# reads it when a process starts), and puts the prefix's setting back
# however the run ends.   dpi_check.sh <tests folder>
set -euo pipefail
tests=$1
key='HKCU\Control Panel\Desktop'
before=$(wine reg query "$key" /v LogPixels 2>/dev/null | tr -d '\r' | awk '/LogPixels/ {print $3}' || true)
restore() {
  if [[ -n "$before" ]]; then
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$((before))" /f >/dev/null
  else
    wine reg delete "$key" /v LogPixels /f >/dev/null 2>&1 || true
  fi
}
trap restore EXIT
wine reg add "$key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
output=$(cd "$tests" && wine ./manager_tests.exe --gtest_filter=ManagerWindow.SizesFollowTheDpi 2>&1 | tr -d '\r')
echo "$output"
grep -q '^DPI 144$' <<<"$output" || { echo "the test did not run at 144 DPI"; exit 1; }
grep -q '^\[  PASSED  \] 1 test' <<<"$output"
