# Shared by the scripts: repository paths, an X display for Wine, and clean-up of what they start.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$top/build/win/wineprefix}

_started_xvfb=""
# Starts a private Xvfb on a free display unless DISPLAY is already usable.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  _started_xvfb=$!
  local n
  read -r n <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$n"
}

# Ends the Wine server of our prefix and the Xvfb we started, so nothing outlives the script.
cleanup_session() {
  WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true
  if [ -n "$_started_xvfb" ]; then kill "$_started_xvfb" 2>/dev/null || true; wait "$_started_xvfb" 2>/dev/null || true; fi
}

configure_and_build() {
  local preset=$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
}

# A size-limited file system for the full-disk tests: a 48 MB tmpfs at the d of their sandbox
# (build/win/smallfs-sandbox), mounted when the script runs as root or may use sudo; without it
# those tests skip.
smallfs=$top/build/win/smallfs-sandbox/d
smallfs_mount() {
  mkdir -p "$smallfs"
  mountpoint -q "$smallfs" && return 0
  if [ "$(id -u)" = 0 ]; then
    mount -t tmpfs -o size=48m tmpfs "$smallfs"
  elif sudo -n true 2>/dev/null; then
    sudo -n mount -t tmpfs -o "size=48m,uid=$(id -u),gid=$(id -g)" tmpfs "$smallfs"
  else
    return 1
  fi
}
smallfs_unmount() {
  mountpoint -q "$smallfs" 2>/dev/null || return 0
  if [ "$(id -u)" = 0 ]; then umount "$smallfs"; else sudo -n umount "$smallfs"; fi
}

# The web services of the run report (tests/doubles/http_double.py) in FOLDER; exports their
# addresses as the program reads them, and the folder for the tests.
http_double_start() {
  local dir=$1 n
  mkdir -p "$dir"
  rm -f "$dir/port" "$dir/record" "$dir/mode"
  /usr/bin/python3 "$top/tests/doubles/http_double.py" "$dir" >"$dir/out" 2>&1 &
  _http_double_pid=$!
  for n in $(seq 50); do [ -s "$dir/port" ] && break; sleep 0.1; done
  [ -s "$dir/port" ] || { cat "$dir/out"; return 1; }
  export UPDATER_HTTPDIR=$dir UPDATER_REPORT_BASE="http://127.0.0.1:$(cat "$dir/port")"
  export UPDATER_ECHO_URL="$UPDATER_REPORT_BASE/ip"
}
http_double_stop() { [ -z "${_http_double_pid:-}" ] || kill "$_http_double_pid" 2>/dev/null || true; }
