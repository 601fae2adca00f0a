# Peak memory of a running Windows program under Wine, read from Linux (sourced): every process
# whose command line names the program is sampled every 0.1 s until the given one ends, and the
# largest is kept. Under an emulator the figures include the emulator's own memory.
measure_program() {  # PROGRAM_FILE_NAME PID_TO_WAIT_FOR -> prints "peak_rss_mb peak_anon_mb"
  local name=$1 waitpid=$2 rss=0 anon=0 pid r a
  while kill -0 "$waitpid" 2>/dev/null; do
    for pid in $(pgrep -f "$name"); do
      r=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
      a=$(awk '/^RssAnon:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
      [ -n "$r" ] && [ "$r" -gt "$rss" ] && rss=$r
      [ -n "$a" ] && [ "$a" -gt "$anon" ] && anon=$a
    done
    sleep 0.1
  done
  echo "$((rss / 1024)) $((anon / 1024))"
}
