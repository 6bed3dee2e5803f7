#!/usr/bin/env bash
# Prints the submission figures, each beside its yardstick, all measured in
# this one run against the same local STARTTLS sink (bench/tls_sink.cpp,
# which discards what it receives), with a certificate made here:
#   - one mail with a large attachment over STARTTLS: the library (composing
#     the message into its message file, then sending it) vs curl --ssl-reqd
#     uploading the same message already composed; wall and CPU time, median
#     of runs in turn, and the library's peak memory
#   - one mail to 10,000 recipients: the library pipelining over STARTTLS vs
#     a minimal client speaking the lockstep dialogue in plain text, both
#     through a relay that delays every reply by QUILLNET_BENCH_DELAY_MS
#     (bench/delay_proxy.cpp), so that a round trip costs what it does across
#     a network rather than the microseconds of loopback
#   - the TLS handshake through the same relay: the library vs openssl
#     s_client -starttls smtp, in milliseconds and in round trips
#
# Environment: QUILLNET_BENCH_BUILD (build folder), QUILLNET_BENCH_DATA (where
# the sample files are made and kept), QUILLNET_BENCH_MB (attachment size),
# QUILLNET_BENCH_RUNS (runs per side for the attachment), QUILLNET_BENCH_DELAY_MS.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLNET_BENCH_BUILD:-$root/build-bench}
data=${QUILLNET_BENCH_DATA:-/tmp/quillnet-bench}
size_mb=${QUILLNET_BENCH_MB:-100}
runs=${QUILLNET_BENCH_RUNS:-7}
delay_ms=${QUILLNET_BENCH_DELAY_MS:-1}
# Longer for the handshake, so that its round trips stand out from its CPU time.
handshake_delay_ms=${QUILLNET_BENCH_HANDSHAKE_DELAY_MS:-20}
python=/usr/bin/python3

echo "Building in $build ..."
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUILLNET_BUILD_BENCH=ON -DQUILLNET_BUILD_HOSTS=OFF -DQUILLNET_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" tls_sink dialogue_sink dialogue_client dialogue_host delay_proxy >/dev/null
bin="$build/bench"

mkdir -p "$data/tmp"
export MAIL_TEMP="$data/tmp"
cert="$data/sink-cert.pem" key="$data/sink-key.pem"
[ -s "$cert" ] || openssl req -x509 -newkey rsa:2048 -nodes -keyout "$key" -out "$cert" -days 30 \
  -subj /CN=localhost -addext subjectAltName=DNS:localhost 2>/dev/null
export QUILLNET_TLS_CA_FILE="$cert"
binary="$data/random-${size_mb}M.bin"
[ -s "$binary" ] || head -c "${size_mb}M" /dev/urandom >"$binary"
# What the library sends for the attachment, composed beforehand for curl.
composed="$data/composed-${size_mb}M.eml"
if [ ! -s "$composed" ]; then
  {
    printf 'From: ann@example.com\r\nTo: r0@example.org\r\nSubject: Figures\r\nMIME-Version: 1.0\r\n'
    printf 'Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n'
    base64 -w 76 "$binary" | sed 's/$/\r/'
  } >"$composed"
fi
small="$data/small-submission.eml"
printf 'From: ann@example.com\r\nSubject: Figures\r\n\r\nHello.\r\n' >"$small"

# The yardstick in Python: the standard library composes the same mail and
# sends it over STARTTLS.
python_send="$data/python-send.py"
cat >"$python_send" <<'PYTHON'
import smtplib, ssl, sys
from email.message import EmailMessage
port, cafile, path = int(sys.argv[1]), sys.argv[2], sys.argv[3]
message = EmailMessage()
message["From"], message["To"], message["Subject"] = "ann@example.com", "r0@example.org", "Figures"
message.set_content("Hello,\nthis is a short message for the figures.\n")
with open(path, "rb") as attachment:
    message.add_attachment(attachment.read(), maintype="application", subtype="octet-stream", filename="random.bin")
with smtplib.SMTP("localhost", port) as client:
    client.starttls(context=ssl.create_default_context(cafile=cafile))
    client.send_message(message)
PYTHON

pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done' EXIT
start_sink() {  # name, command...: sets $port
  local out="$data/$1.out"
  shift
  "$@" >"$out" &
  pids+=($!)
  for _ in $(seq 50); do grep -q PORT "$out" 2>/dev/null && break; sleep 0.1; done
  port=$(sed -n 's/^PORT //p' "$out")
}
start_sink tls-sink "$bin/tls_sink" "$cert" "$key"
tls_port=$port
start_sink plain-sink "$bin/dialogue_sink"
plain_port=$port
start_sink tls-relay "$bin/delay_proxy" "$tls_port" "$delay_ms"
tls_relay=$port
start_sink plain-relay "$bin/delay_proxy" "$plain_port" "$delay_ms"
plain_relay=$port
start_sink handshake-relay "$bin/delay_proxy" "$tls_port" "$handshake_delay_ms"
handshake_relay=$port
echo "STARTTLS sink on localhost:$tls_port, plain sink on localhost:$plain_port;" \
  "relays delaying each reply by $delay_ms ms on ports $tls_relay (STARTTLS) and $plain_relay (plain)"
echo

ratio() { $python -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }
faster() { $python -c "import sys; sys.exit(not float(sys.argv[1]) < float(sys.argv[2]))" "$1" "$2"; }
# Runs a command under GNU time; sets $wall (s), $cpu (user + system s) and
# $peak (KiB, max RSS).
measure() {
  if ! /usr/bin/time -o "$data/time.out" -f "%e %U %S %M" "$@" >/dev/null 2>"$data/command.err"; then
    echo "failed: $*" >&2
    cat "$data/command.err" >&2
    exit 1
  fi
  local user system
  read -r wall user system peak <"$data/time.out"
  cpu=$($python -c "import sys; print('%.2f' % (float(sys.argv[1]) + float(sys.argv[2])))" "$user" "$system")
}
median() { $python -c "import statistics, sys; print('%.3f' % statistics.median(map(float, sys.argv[1:])))" "$@"; }
# N runs in turn of two commands (names of arrays), so that a busy moment of
# a shared machine falls on both sides alike; the medians of each side.
# Sets $wall_a $cpu_a $peak_a $wall_b $cpu_b.
interleaved() {
  local count=$1
  local -n first=$2 second=$3
  local walls_a=() cpus_a=() walls_b=() cpus_b=()
  peak_a=0
  for _ in $(seq "$count"); do
    measure "${first[@]}"
    walls_a+=("$wall") cpus_a+=("$cpu")
    if [ "$peak" -gt "$peak_a" ]; then peak_a=$peak; fi
    measure "${second[@]}"
    walls_b+=("$wall") cpus_b+=("$cpu")
  done
  wall_a=$(median "${walls_a[@]}") cpu_a=$(median "${cpus_a[@]}")
  wall_b=$(median "${walls_b[@]}") cpu_b=$(median "${cpus_b[@]}")
}
# The relay's line for the connection just closed: "flights N handshake_ms X total_ms Y".
last_connection() {
  sleep 0.2
  sed -n 's/^CONNECTION //p' "$data/$1.out" | tail -1
}
field() { echo "$1" | awk -v name="$2" '{ for (i = 1; i < NF; ++i) if ($i == name) print $(i + 1) }'; }

echo "== one mail with a ${size_mb} MB attachment over STARTTLS (median of $runs runs in turn)"
library=("$bin/dialogue_host" "smtp+starttls://localhost:$tls_port" --attach "$binary")
curl_send=(curl -s --ssl-reqd --cacert "$cert" --url "smtp://localhost:$tls_port" --mail-from ann@example.com
  --mail-rcpt r0@example.org --upload-file "$composed")
interleaved "$runs" library curl_send
echo "  wall: library host ${wall_a} s (composing, then sending) vs curl --ssl-reqd ${wall_b} s (pre-composed):" \
  "ratio $(ratio "$wall_a" "$wall_b") (target <= 1.0)"
echo "  CPU (user + system): library ${cpu_a} s vs curl ${cpu_b} s: ratio $(ratio "$cpu_a" "$cpu_b")"
echo "  library peak memory: ${peak_a} KiB (target: under 16384 KiB)"
measure $python "$python_send" "$tls_port" "$cert" "$binary"
echo "  Python email + smtplib starttls() ${wall} s (one run): the library is" \
  "$($python -c "import sys; print('%.1f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$wall" "$wall_a")x faster" \
  "(target >= 20)"
echo

echo "== one mail to 10,000 recipients, each reply delayed by $delay_ms ms (median of 3 runs in turn)"
library=("$bin/dialogue_host" "smtp+starttls://localhost:$tls_relay" --recipients 10000)
lockstep=("$bin/dialogue_client" "$plain_relay" "$small" 10000)
interleaved 3 library lockstep
library_flights=$(field "$(last_connection tls-relay)" flights)
lockstep_flights=$(field "$(last_connection plain-relay)" flights)
echo "  library pipelining over STARTTLS ${wall_a} s ($library_flights flights)" \
  "vs minimal lockstep client (plain) ${wall_b} s ($lockstep_flights flights):" \
  "ratio $(ratio "$wall_a" "$wall_b") (target <= 0.1)"
measure "$bin/dialogue_host" "localhost:$plain_relay" --recipients 10000
echo "  for reference, the library's plain lockstep dialogue through the same relay: ${wall} s"
echo

echo "== TLS handshake through a relay delaying each reply by $handshake_delay_ms ms (median of 5 of each)"
echo "   (from the client's ClientHello to its next flight, the Finished; the relay times it)"
library_ms=() openssl_ms=()
for _ in 1 2 3 4 5; do
  measure "$bin/dialogue_host" "smtp+starttls://localhost:$handshake_relay" --recipients 1
  library_ms+=("$(field "$(last_connection handshake-relay)" handshake_ms)")
  # s_client ends at the end of its input, after the handshake.
  measure openssl s_client -brief -starttls smtp -connect "127.0.0.1:$handshake_relay" -CAfile "$cert" \
    -verify_return_error </dev/null
  openssl_ms+=("$(field "$(last_connection handshake-relay)" handshake_ms)")
done
library_hs=$(median "${library_ms[@]}")
openssl_hs=$(median "${openssl_ms[@]}")
round_trips() { $python -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$handshake_delay_ms"; }
echo "  library ${library_hs} ms ($(round_trips "$library_hs") round trips) vs openssl s_client ${openssl_hs} ms" \
  "($(round_trips "$openssl_hs") round trips): the library adds" \
  "$($python -c "import sys; print('%.2f' % ((float(sys.argv[1]) - float(sys.argv[2])) / float(sys.argv[3])))" \
    "$library_hs" "$openssl_hs" "$handshake_delay_ms") round trips (target <= 1)"
