#!/usr/bin/env bash
# Builds and runs the listing benchmark under Wine (in the test prefix,
# under Xvfb when there is no display) and prints its table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
if [[ "${1:-}" != "--inner" ]]; then
  bash "$root/scripts/setup.sh"
  bash "$root/scripts/build.sh" --win32-only
  source "$root/scripts/lib.sh"
  enter_with_display "$0" 1280x1024x24 "$@"
fi
shift
if [[ "${1:-}" == "--headless" ]]; then shift; fi
source "$root/scripts/wine-env.sh"
wine_prefix_ready
trap wine_server_stop EXIT
wine_server_start
# The whole table three times: one noisy run can neither pass nor fail a
# target. Each take's figures are medians of interleaved runs.
takes=$(mktemp -d)
# A row whose product side did not do its work prints CHECK FAILED and no
# figure; the benchmark then ends non-zero after the table.
failed=0
for take in 1 2 3; do
  echo "== Take $take"
  wine "$BUILD_DIR/win32/listing_bench.exe" "$@" | tr -d '\r' | tee "$takes/$take" || failed=1
  grep -q "CHECK FAILED" "$takes/$take" && failed=1
done
echo "== Ratios of the three takes"
echo "| row      |      N | take 1 | take 2 | take 3 | spread |"
echo "|----------|--------|--------|--------|--------|--------|"
awk -F'|' '/^\| [a-z]/ && $2 !~ /listing/ && $6 ~ /[0-9]/ {
    key = $2 "|" $3; ratio[key, FILENAME] = $6 + 0
    if (!(key in seen)) { seen[key] = 1; order[++n] = key }
  }
  END {
    for (i = 1; i <= n; ++i) {
      key = order[i]; split(key, part, "|"); lo = 1e9; hi = 0; line = ""
      for (t = 1; t <= 3; ++t) {
        r = ratio[key, takes "/" t]; line = line sprintf(" %6.2f |", r)
        if (r < lo) lo = r; if (r > hi) hi = r
      }
      printf "|%s|%s|%s %6.2f |\n", part[1], part[2], line, hi - lo
    }
  }' takes="$takes" "$takes/1" "$takes/2" "$takes/3"
rm -rf "$takes"
if [[ $failed != 0 ]]; then
  echo "The benchmark failed: a row's product side did not do the work it claims (CHECK FAILED above)." >&2
  exit 1
fi
