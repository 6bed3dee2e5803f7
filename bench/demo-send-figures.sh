#!/usr/bin/env bash
# Prints the figure of a mass send from the contact program beside its
# yardstick, both against the same local sink (bench/dialogue_sink.cpp):
#   - the compose window's "Send" to all PERSONS persons in batches of 100,
#     from the press to the report, with the longest pause of the window
#     thread (it must keep repainting)
#   - the same batches sent by a minimal C client (bench/dialogue_client.cpp),
#     one process per batch with an already composed message
#
# Environment: QUILLNET_BENCH_BUILD (build folder), QUILLNET_BENCH_DATA (work
# folder), QUILLNET_BENCH_PERSONS (default 32767), QUILLNET_BENCH_BATCH (100).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLNET_BENCH_BUILD:-$root/build-bench}
data=${QUILLNET_BENCH_DATA:-/tmp/quillnet-bench}
persons=${QUILLNET_BENCH_PERSONS:-32767}
batch=${QUILLNET_BENCH_BATCH:-100}
python=/usr/bin/python3

echo "Building in $build ..."
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUILLNET_BUILD_BENCH=ON -DQUILLNET_BUILD_HOSTS=ON -DQUILLNET_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" dialogue_sink dialogue_client demo_send >/dev/null
bin="$build/bench"

mkdir -p "$data/tmp"
export MAIL_TEMP="$data/tmp"
small="$data/demo-batch.eml"
cat >"$small" <<'MAIL'
From: "Ann" <ann@example.org>
To: All: ;
Subject: Figures
Date: Mon, 07 Dec 2026 12:00:00 GMT
MIME-Version: 1.0
Content-Type: text/plain; charset=utf-8
Content-Transfer-Encoding: 7bit

Hello,
this is a short message for the figures.
MAIL
sed -i 's/$/\r/' "$small"

"$bin/dialogue_sink" >"$data/sink.out" &
sink=$!
trap 'kill "$sink" 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q PORT "$data/sink.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/^PORT //p' "$data/sink.out")
echo "Sink on 127.0.0.1:$port"

now() { date +%s.%N; }

echo "== mail to $persons persons in batches of $batch"
program=$("$bin/demo_send" "127.0.0.1:$port" "$persons" "$batch")
echo "compose window: $program"
program_s=$(echo "$program" | awk '{print $2}')

start=$(now)
left=$persons
while [ "$left" -gt 0 ]; do
  n=$(( left < batch ? left : batch ))
  "$bin/dialogue_client" "$port" "$small" "$n" >/dev/null
  left=$(( left - n ))
done
minimal_s=$($python -c "import sys; print('%.3f' % (float(sys.argv[2]) - float(sys.argv[1])))" "$start" "$(now)")
echo "minimal C client: seconds $minimal_s"
$python -c "import sys; print('ratio (window / minimal client): %.2f (target <= 1.5)' % (float(sys.argv[1]) / float(sys.argv[2])))" \
  "$program_s" "$minimal_s"
