# Sourced by the commands. Runs the calling script again with --inner, under
# Xvfb (and with --headless) when there is no display.
enter_with_display() {
  local script=$1 screen=$2
  shift 2
  if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 $screen" bash "$script" --inner --headless "$@"
  fi
  exec bash "$script" --inner "$@"
}
