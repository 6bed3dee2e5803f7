#!/usr/bin/env bash
# Sends COUNT mails (default 10000) in a row from one process through a
# proxy that injects faults (closes, error replies, slow replies, stalls
# shorter and longer than the time-out) into a local capture server, and
# prints the figures: results as expected for each fault, resident memory
# and descriptors after the first 100 mails, temporary files left. Not part
# of the test stages: it runs for minutes.
#
#   bench/soak.sh [COUNT [SEED]]
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-10000}
seed=${2:-1}
jobs=$(nproc)

cmake -S . -B build -G Ninja -DQUILLNET_BUILD_BENCH=ON >/dev/null
cmake --build build -j "$jobs" --target soak

scratch=$(mktemp -d)
server_pid=""
proxy_pid=""
cleanup() {
  # Closing their input stops both servers; the kill is for a stuck one.
  exec 7>&- 8>&- 2>/dev/null || true
  for pid in $proxy_pid $server_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -p "$scratch/inbox" "$scratch/tmp"

# Each server prints its port on its first line; a fifo gives each an input
# that stays open until this script closes it.
mkfifo "$scratch/server.in" "$scratch/proxy.in"
/usr/bin/python3 library/tests/peers/capture_server.py "$scratch/inbox" <"$scratch/server.in" >"$scratch/server.out" &
server_pid=$!
exec 7>"$scratch/server.in"
for _ in $(seq 100); do grep -q '^PORT ' "$scratch/server.out" 2>/dev/null && break; sleep 0.1; done
server_port=$(sed -n 's/^PORT \([0-9]*\).*/\1/p' "$scratch/server.out")
[ -n "$server_port" ] || { echo "soak: the capture server did not start" >&2; exit 1; }

/usr/bin/python3 bench/fault_proxy.py "$server_port" <"$scratch/proxy.in" >"$scratch/proxy.out" &
proxy_pid=$!
exec 8>"$scratch/proxy.in"
for _ in $(seq 100); do grep -q '^PORT ' "$scratch/proxy.out" 2>/dev/null && break; sleep 0.1; done
read -r _ proxy_port _ control_port <"$scratch/proxy.out"
[ -n "${control_port:-}" ] || { echo "soak: the fault proxy did not start" >&2; exit 1; }

# A time-out of one second: the proxy's long stalls (2.5 s) outlast it, its
# short ones (0.5 s) do not.
MAIL_TEMP="$scratch/tmp" QUILLNET_TIMEOUT=1 \
  build/bench/soak "$proxy_port" "$control_port" "$scratch/inbox" "$scratch/tmp" "$count" "$seed"
