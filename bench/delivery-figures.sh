#!/usr/bin/env bash
# Prints the delivery figures, each beside its yardstick, all measured in this
# one run against the same local sink (bench/dialogue_sink.cpp, which discards
# what it receives):
#   - one small message, whole process: the library through a host vs curl
#     uploading the same kind of message already composed
#   - one mail with a large attachment, composed and delivered: the library vs
#     Python's email + smtplib, and vs `base64 -w 76` into a file that a
#     minimal client then sends in 64 KiB writes; with peak memory
#   - one mail to 10,000 recipients: the library vs a minimal client speaking
#     the same lockstep dialogue
#
# Environment: QUILLNET_BENCH_BUILD (build folder), QUILLNET_BENCH_DATA (where
# the sample files are made and kept), QUILLNET_BENCH_MB (attachment size),
# QUILLNET_BENCH_RUNS (runs of the small message).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLNET_BENCH_BUILD:-$root/build-bench}
data=${QUILLNET_BENCH_DATA:-/tmp/quillnet-bench}
size_mb=${QUILLNET_BENCH_MB:-100}
runs=${QUILLNET_BENCH_RUNS:-30}
python=/usr/bin/python3

echo "Building in $build ..."
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUILLNET_BUILD_BENCH=ON -DQUILLNET_BUILD_HOSTS=OFF -DQUILLNET_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" dialogue_sink dialogue_client dialogue_host >/dev/null
bin="$build/bench"

mkdir -p "$data/tmp"
export MAIL_TEMP="$data/tmp"
binary="$data/random-${size_mb}M.bin"
[ -s "$binary" ] || head -c "${size_mb}M" /dev/urandom >"$binary"
small="$data/small.eml"
cat >"$small" <<'MAIL'
From: ann@example.com
To: r0@example.org
Subject: Figures
Date: Mon, 07 Dec 2026 12:00:00 GMT
MIME-Version: 1.0
Content-Type: text/plain; charset=iso-8859-1
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
host="127.0.0.1:$port"
echo "Sink on $host"
echo

now() { date +%s.%N; }
ratio() { $python -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }
elapsed() { $python -c "import sys; print('%.3f' % (float(sys.argv[2]) - float(sys.argv[1])))" "$1" "$2"; }
# Runs a command under GNU time; sets $wall (s) and $peak (KiB, max RSS).
measure() {
  if ! /usr/bin/time -o "$data/time.out" -f "%e %M" "$@" >/dev/null 2>"$data/command.err"; then
    echo "failed: $*" >&2
    cat "$data/command.err" >&2
    exit 1
  fi
  read -r wall peak <"$data/time.out"
}
# Runs two commands (names of arrays) N times in turn and keeps the fastest
# run and the largest peak of each, so that a busy moment of a shared machine
# falls on both sides alike and does not decide a ratio.
# Sets $wall_a $peak_a $wall_b $peak_b.
faster() { $python -c "import sys; sys.exit(not float(sys.argv[1]) < float(sys.argv[2]))" "$1" "$2"; }
interleaved() {
  local runs=$1
  local -n first=$2 second=$3
  wall_a="" wall_b="" peak_a=0 peak_b=0
  for _ in $(seq "$runs"); do
    measure "${first[@]}"
    if [ -z "$wall_a" ] || faster "$wall" "$wall_a"; then wall_a=$wall; fi
    if [ "$peak" -gt "$peak_a" ]; then peak_a=$peak; fi
    measure "${second[@]}"
    if [ -z "$wall_b" ] || faster "$wall" "$wall_b"; then wall_b=$wall; fi
    if [ "$peak" -gt "$peak_b" ]; then peak_b=$peak; fi
  done
}

echo "== one small message, whole process ($runs runs each)"
start=$(now)
for _ in $(seq "$runs"); do "$bin/dialogue_host" "$host"; done
ours=$(elapsed "$start" "$(now)")
start=$(now)
for _ in $(seq "$runs"); do
  curl -s --url "smtp://$host" --mail-from ann@example.com --mail-rcpt r0@example.org --upload-file "$small"
done
theirs=$(elapsed "$start" "$(now)")
echo "  library host: ${ours} s   curl (pre-composed): ${theirs} s   ratio $(ratio "$ours" "$theirs") (target <= 1.5)"
echo

echo "== one mail with a ${size_mb} MB attachment, composed and delivered (best of 3 runs in turn with the yardstick; with Python, of 2)"
library=("$bin/dialogue_host" "$host" --attach "$binary")
yardstick=(bash -c "base64 -w 76 '$binary' >'$data/tmp/yardstick.b64' && '$bin/dialogue_client' $port '$data/tmp/yardstick.b64' 1 65536")
interleaved 3 library yardstick
ours_y=$wall_a ours_peak=$peak_a yard=$wall_b
rm -f "$data/tmp/yardstick.b64"
cat >"$data/smtplib_send.py" <<'PY'
import smtplib, sys
from email.message import EmailMessage
port, path = int(sys.argv[1]), sys.argv[2]
message = EmailMessage()
message["From"], message["To"], message["Subject"] = "ann@example.com", "r0@example.org", "Figures"
message.set_content("Hello,\nthis is a short message for the figures.\n")
with open(path, "rb") as source:
    message.add_attachment(source.read(), maintype="application", subtype="octet-stream", filename="big.bin")
with smtplib.SMTP("127.0.0.1", port) as client:
    client.send_message(message)
PY
library=("$bin/dialogue_host" "$host" --attach "$binary")
python_send=($python "$data/smtplib_send.py" "$port" "$binary")
interleaved 2 library python_send
ours_p=$wall_a py=$wall_b py_peak=$peak_b
if [ "$peak_a" -gt "$ours_peak" ]; then ours_peak=$peak_a; fi
echo "  library host ${ours_y} s vs base64 -w 76 + 64 KiB writes ${yard} s: library/yardstick $(ratio "$ours_y" "$yard") (target <= 1)"
echo "  library host ${ours_p} s vs Python email + smtplib ${py} s: Python/library $(ratio "$py" "$ours_p") (target >= 20)"
echo "  peak memory: library host ${ours_peak} KiB, Python ${py_peak} KiB"
small_binary="$data/random-10M.bin"
[ -s "$small_binary" ] || head -c 10M /dev/urandom >"$small_binary"
measure "$bin/dialogue_host" "$host" --attach "$small_binary"
echo "  peak memory with a 10 MB attachment: ${peak} KiB (target: under 16384 KiB, the same for any size)"
echo

echo "== one mail to 10,000 recipients (best of 5 runs in turn)"
library=("$bin/dialogue_host" "$host" --recipients 10000)
minimal=("$bin/dialogue_client" "$port" "$small" 10000)
interleaved 5 library minimal
ours=$wall_a yard=$wall_b
echo "  library host: ${ours} s   minimal lockstep client: ${yard} s   ratio $(ratio "$ours" "$yard") (target <= 1.25)"
