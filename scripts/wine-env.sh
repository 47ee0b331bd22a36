# Sourced by the scripts: a private Wine prefix inside the build tree and one
# persistent wineserver for a whole run.
: "${BUILD_DIR:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
: "${WINEPREFIX:=$BUILD_DIR/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
# Every saved shortcut would otherwise start Wine's menu builder.
# winedbg disabled: a crashing test ends at once instead of waiting on a debugger.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;winedbg.exe=d"

wine_prefix_ready() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  # A persistent server left by an interrupted run would never let
  # "wineserver -w" return.
  wineserver -k >/dev/null 2>&1 || true
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "Creating Wine prefix $WINEPREFIX"
    # 64-bit, so that the 32-bit library runs under WOW64 with real
    # registry redirection, as on 64-bit Windows.
    WINEARCH=win64 wineboot -i >/dev/null 2>&1 </dev/null
    # A virtual desktop: Wine draws the frames itself, and hiding a window
    # does not wait for a window manager that Xvfb does not have.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 </dev/null
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 </dev/null
  fi
  wineserver -w
}

wine_server_start() {
  # Detached, so that no test's output pipe is held open by the server.
  setsid wineserver -p </dev/null >/dev/null 2>&1 &
  sleep 0.3
  # Wine's long-lived service processes start here, before any test runs,
  # so they never inherit a test's output pipe.
  wine wineboot >/dev/null 2>&1 </dev/null
}

wine_server_stop() {
  wineserver -k >/dev/null 2>&1 || true
}
