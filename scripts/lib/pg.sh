# A throwaway PostgreSQL server for the tests and the demo: a cluster in a folder of the build, on
# a free port of 127.0.0.1, run as the user postgres when the script runs as root.
_pg_bin() { ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1; }
_pg_as() { if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }

# pg_start FOLDER: makes and starts the cluster; exports UPDATER_PGPORT.
pg_start() {
  local dir=$1 bin port
  bin=$(_pg_bin)
  rm -rf "$dir"
  mkdir -p "$dir"
  [ "$(id -u)" = 0 ] && chown postgres "$dir"
  _pg_as "$bin/initdb" -D "$dir/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log"
    return 1
  }
  port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  _pg_as "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null || {
    cat "$dir/server.log"
    return 1
  }
  export UPDATER_PGPORT=$port UPDATER_PGDIR=$dir
}

# pg_sql DATABASE [psql arguments...]: runs psql against the cluster as its superuser.
pg_sql() {
  local db=$1
  shift
  _pg_as "$(_pg_bin)/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$UPDATER_PGPORT" -U postgres -d "$db" "$@"
}

# pg_stop: stops the cluster started by pg_start, if any.
pg_stop() {
  [ -n "${UPDATER_PGDIR:-}" ] && [ -d "$UPDATER_PGDIR/data" ] || return 0
  _pg_as "$(_pg_bin)/pg_ctl" -D "$UPDATER_PGDIR/data" -m immediate -w stop >/dev/null 2>&1 || true
}
