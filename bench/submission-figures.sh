#!/usr/bin/env bash
# Prints the submission figures, each beside its yardstick, all measured in
# this one run against the same local STARTTLS sink (bench/tls_sink.cpp,
# which discards what it receives), with a test CA made here:
#   - one mail with a large attachment over STARTTLS: the library (composing
#     as it sends) vs curl --ssl-reqd uploading the same size already composed;
#     with the library's peak memory
#   - one mail to 10,000 recipients: the library pipelining over STARTTLS vs
#     a minimal client speaking the lockstep dialogue in plain text (and the
#     library's own lockstep dialogue, for reference)
#
# Environment: QUILLNET_BENCH_BUILD (build folder), QUILLNET_BENCH_DATA (where
# the sample files are made and kept), QUILLNET_BENCH_MB (attachment size).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLNET_BENCH_BUILD:-$root/build-bench}
data=${QUILLNET_BENCH_DATA:-/tmp/quillnet-bench}
size_mb=${QUILLNET_BENCH_MB:-100}
python=/usr/bin/python3

echo "Building in $build ..."
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUILLNET_BUILD_BENCH=ON -DQUILLNET_BUILD_HOSTS=OFF -DQUILLNET_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" tls_sink dialogue_sink dialogue_client dialogue_host >/dev/null
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
echo "STARTTLS sink on localhost:$tls_port, plain sink on localhost:$plain_port"
echo

ratio() { $python -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }
faster() { $python -c "import sys; sys.exit(not float(sys.argv[1]) < float(sys.argv[2]))" "$1" "$2"; }
# Runs a command under GNU time; sets $wall (s) and $peak (KiB, max RSS).
measure() {
  if ! /usr/bin/time -o "$data/time.out" -f "%e %M" "$@" >/dev/null 2>"$data/command.err"; then
    echo "failed: $*" >&2
    cat "$data/command.err" >&2
    exit 1
  fi
  read -r wall peak <"$data/time.out"
}
# The fastest of N runs in turn of two commands (names of arrays), so that a
# busy moment of a shared machine falls on both sides alike.
# Sets $wall_a $peak_a $wall_b.
interleaved() {
  local runs=$1
  local -n first=$2 second=$3
  wall_a="" wall_b="" peak_a=0
  for _ in $(seq "$runs"); do
    measure "${first[@]}"
    if [ -z "$wall_a" ] || faster "$wall" "$wall_a"; then wall_a=$wall; fi
    if [ "$peak" -gt "$peak_a" ]; then peak_a=$peak; fi
    measure "${second[@]}"
    if [ -z "$wall_b" ] || faster "$wall" "$wall_b"; then wall_b=$wall; fi
  done
}

echo "== one mail with a ${size_mb} MB attachment over STARTTLS (best of 3 runs in turn)"
library=("$bin/dialogue_host" "smtp+starttls://localhost:$tls_port" --attach "$binary")
curl_send=(curl -s --ssl-reqd --cacert "$cert" --url "smtp://localhost:$tls_port" --mail-from ann@example.com
  --mail-rcpt r0@example.org --upload-file "$composed")
interleaved 3 library curl_send
echo "  library host ${wall_a} s (composing as it sends) vs curl --ssl-reqd ${wall_b} s (pre-composed):" \
  "ratio $(ratio "$wall_a" "$wall_b") (target <= 1.0)"
echo "  library peak memory: ${peak_a} KiB (target: under 16384 KiB)"
echo

echo "== one mail to 10,000 recipients (best of 3 runs in turn)"
library=("$bin/dialogue_host" "smtp+starttls://localhost:$tls_port" --recipients 10000)
lockstep=("$bin/dialogue_client" "$plain_port" "$small" 10000)
interleaved 3 library lockstep
echo "  library pipelining over STARTTLS ${wall_a} s vs minimal lockstep client (plain) ${wall_b} s:" \
  "ratio $(ratio "$wall_a" "$wall_b") (target <= 0.1)"
measure "$bin/dialogue_host" "localhost:$plain_port" --recipients 10000
echo "  for reference, the library's plain lockstep dialogue: ${wall} s"
echo "  (on loopback a round trip costs microseconds; the gain grows with the distance to the server)"
