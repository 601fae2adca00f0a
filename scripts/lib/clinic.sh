# A sample clinic for a tool run by hand under Wine (sourced after common.sh and pg.sh): the
# folders of D:\CVL2000, the update service agent double, and the clinic database, a PostgreSQL
# server of its own with a PC row and the finished move to PostgreSQL; DBServer.ini names it and
# the constants DLL double hands over its login.
clinic_prepare() {  # CLINIC_FOLDER PG_FOLDER
  local clinic=$1
  mkdir -p "$clinic/Exe" "$clinic/Etc" "$clinic/Manual/Update"
  cp build/win/doubles/appinterface.dll "$clinic/Exe/"
  printf '267 0\n' >"$clinic/Exe/appinterface.script"
  pg_start "$2"
  pg_clinic
  pg_sql cvl2000 -c "INSERT INTO dba.pcinfo VALUES ('127.0.0.1', 'PC-01', 1)" \
    -c "INSERT INTO dba.foption VALUES ('', '', 'ClosingResult', '완료')" >/dev/null
  # This PC's own addresses as the program finds them under Wine: registered, and allowed to run
  # data tools.
  local ip
  for ip in $(tests/win/wine-run build/win/data_tool.exe --host-addresses 2>/dev/null | tr -d '\r' | sort -u); do
    [ "$ip" = 127.0.0.1 ] || pg_sql cvl2000 -c "INSERT INTO dba.pcinfo VALUES ('$ip', 'DEMO-PC', 1)" >/dev/null
  done
  printf '[Connection Config]\r\nDBMSKind=POSTGRESQL\r\nPGHostIpAddress=127.0.0.1\r\nPGPort=%s\r\n' "$UPDATER_PGPORT" \
    >"$clinic/DBServer.ini"
  cp build/win/doubles/CVLSConst.dll "$clinic/Exe/"
  printf '[GetALLDBConstData]\r\nUser0=%s\r\nPassword0=%s\r\nUser1=%s\r\nPassword1=%s\r\n' \
    "$UPDATER_PGUSER" "$UPDATER_PGPASSWORD" "$UPDATER_PGUSER" "$UPDATER_PGPASSWORD" >"$clinic/Exe/CVLSConst.ini"
}
