#!/usr/bin/env bash
# Runs CMD... against a private PostgreSQL server: a cluster made in a temporary folder,
# listening on loopback only, with QUILLNET_TEST_DATABASE naming a database on it.
# The server is stopped and the folder removed however CMD ends.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 CMD [ARG...]" >&2; exit 2; }
bin=${POSTGRES_BIN:-/usr/lib/postgresql/15/bin}
for tool in initdb pg_ctl createdb; do
  if [ ! -x "$bin/$tool" ]; then
    echo "$0: $bin/$tool is missing; install the postgresql package" >&2
    exit 1
  fi
done

folder=$(mktemp -d "${TMPDIR:-/tmp}/quillnet-pg.XXXXXX")
data="$folder/data"
# initdb refuses to run as root: the cluster then belongs to an unprivileged user.
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$folder"
  chmod 755 "$folder"
  as_owner=(runuser -u nobody --)
fi

stop_server() {
  if [ -f "$data/postmaster.pid" ]; then
    "${as_owner[@]}" "$bin/pg_ctl" -D "$data" -m fast -w stop >/dev/null 2>&1 ||
      kill "$(head -n 1 "$data/postmaster.pid")" 2>/dev/null || true
  fi
  rm -rf "$folder"
}
trap stop_server EXIT
trap "exit 130" INT TERM

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"${as_owner[@]}" "$bin/initdb" -D "$data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 >"$folder/initdb.log" 2>&1 ||
  { cat "$folder/initdb.log" >&2; exit 1; }
"${as_owner[@]}" "$bin/pg_ctl" -D "$data" -l "$folder/server.log" -w \
  -o "-k $folder -h 127.0.0.1 -p $port -c fsync=off -c max_connections=200" start >/dev/null ||
  { cat "$folder/server.log" >&2; exit 1; }
"${as_owner[@]}" "$bin/createdb" -h 127.0.0.1 -p "$port" -U postgres quillnet_test

status=0
QUILLNET_TEST_DATABASE="postgresql://postgres@127.0.0.1:$port/quillnet_test" "$@" || status=$?
exit $status
