# A throwaway PostgreSQL server for the tests and the demo: a cluster in a folder of the build, on
# a free port of 127.0.0.1, run as the user postgres when the script runs as root.
_pg_bin() { ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1; }
_pg_as() { if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
# A fresh folder the server's user owns; prints its absolute path.
_pg_folder() {
  local dir
  dir=$(realpath -m "$1")
  rm -rf "$dir"
  mkdir -p "$dir"
  [ "$(id -u)" = 0 ] && chown postgres "$dir"
  echo "$dir"
}
# A port of 127.0.0.1 where nothing answers yet, from $1 on.
_pg_free_port() {
  local port=$1
  while (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
  echo "$port"
}

# pg_start FOLDER: makes and starts the cluster; exports UPDATER_PGPORT.
pg_start() {
  local dir bin port
  dir=$(_pg_folder "$1")
  bin=$(_pg_bin)
  # The superuser comes in through the socket; clients over TCP need their password.
  _pg_as "$bin/initdb" -D "$dir/data" --auth-local=trust --auth-host=scram-sha-256 -U postgres -E UTF8 --locale=C.UTF-8 \
    >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log"
    return 1
  }
  port=$(_pg_free_port $((20000 + RANDOM % 20000)))
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
  _pg_as "$(_pg_bin)/psql" -X -q -v ON_ERROR_STOP=1 -h "$UPDATER_PGDIR" -p "$UPDATER_PGPORT" -U postgres -d "$db" "$@"
}

# pg_clinic: the clinic database cvl2000 with its tables in schema dba, and the login role that the
# constants DLL double hands over (user cvluser, password in UPDATER_PGPASSWORD).
pg_clinic() {
  local here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  export UPDATER_PGUSER=cvluser UPDATER_PGPASSWORD='cvl;pass{1}'
  pg_sql postgres -c "CREATE ROLE $UPDATER_PGUSER LOGIN PASSWORD '${UPDATER_PGPASSWORD//\'/\'\'}'" \
    -c "CREATE DATABASE cvl2000 OWNER $UPDATER_PGUSER ENCODING 'UTF8'" >/dev/null
  # A login whose name and password are Korean, as a clinic may have.
  pg_sql postgres -c "CREATE ROLE \"사용자\" LOGIN PASSWORD '학교비번1'" >/dev/null
  pg_sql cvl2000 -f "$here/tests/fixtures/db/clinic.sql" >/dev/null
  pg_sql cvl2000 -c "ALTER ROLE $UPDATER_PGUSER SET search_path = dba, public" -c "GRANT ALL ON SCHEMA dba TO $UPDATER_PGUSER" \
    -c "GRANT ALL ON ALL TABLES IN SCHEMA dba TO $UPDATER_PGUSER" >/dev/null
}

# pg_standby FOLDER: a standby of the cluster (a base backup started in recovery) on a port of its
# own; exports UPDATER_PGSTANDBYPORT.
pg_standby() {
  local dir bin port
  dir=$(_pg_folder "$1")
  bin=$(_pg_bin)
  # A fast checkpoint: the default spread one waited 94 s on a fresh machine.
  _pg_as "$bin/pg_basebackup" -c fast -h "$UPDATER_PGDIR" -p "$UPDATER_PGPORT" -U postgres -D "$dir/data" -R >"$dir/backup.log" 2>&1 || {
    cat "$dir/backup.log"
    return 1
  }
  port=$(_pg_free_port $((UPDATER_PGPORT + 1)))
  _pg_as "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -o "-p $port -k $dir -c listen_addresses=127.0.0.1" start >/dev/null || {
    cat "$dir/server.log"
    return 1
  }
  export UPDATER_PGSTANDBYPORT=$port UPDATER_PGSTANDBYDIR=$dir
}

# pg_stop: stops the cluster started by pg_start (and its standby), if any.
pg_stop() {
  local dir
  for dir in "${UPDATER_PGSTANDBYDIR:-}" "${UPDATER_PGDIR:-}"; do
    [ -n "$dir" ] && [ -d "$dir/data" ] || continue
    _pg_as "$(_pg_bin)/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  done
}

# pg_faults FOLDER: the stall and black-hole stand-ins in front of the running server
# (tests/doubles/stall_proxy.py); exports UPDATER_PGSTALLPORT, UPDATER_PGBLACKHOLEPORT and
# UPDATER_PGRELEASEPORT.
pg_faults() {
  local here dir=$1 n
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  mkdir -p "$dir"
  rm -f "$dir/ports"
  /usr/bin/python3 "$here/tests/doubles/stall_proxy.py" "$UPDATER_PGPORT" "$dir/ports" >"$dir/proxy.out" 2>&1 &
  _pg_faults_pid=$!
  for n in $(seq 50); do [ -s "$dir/ports" ] && break; sleep 0.1; done
  [ -s "$dir/ports" ] || { cat "$dir/proxy.out"; return 1; }
  read -r UPDATER_PGSTALLPORT UPDATER_PGBLACKHOLEPORT UPDATER_PGRELEASEPORT <"$dir/ports"
  export UPDATER_PGSTALLPORT UPDATER_PGBLACKHOLEPORT UPDATER_PGRELEASEPORT
}
pg_faults_stop() { [ -z "${_pg_faults_pid:-}" ] || kill "$_pg_faults_pid" 2>/dev/null || true; }
