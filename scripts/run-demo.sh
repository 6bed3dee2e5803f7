#!/usr/bin/env bash
# Sends a sample mail end to end: installs what is missing, builds the mail
# library and a small C host, starts a capture server (aiosmtpd) on
# 127.0.0.1, delivers a message with text, an HTML page with a picture and an
# attachment through _Wrenpost, and shows where it landed and what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh

echo "== build the mail library and the sample host"
cmake -S . -B build-demo -G Ninja -DQUILLNET_LIBRARY_ONLY=ON -DQUILLNET_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-demo --target quillnet
cc -std=c11 -O2 -Wall -Wextra -o build-demo/send_sample scripts/demo/send_sample.c \
  -I library/include -L build-demo/library -lquillnet -Wl,-rpath,"$root/build-demo/library"

work=$(mktemp -d "${TMPDIR:-/tmp}/quillnet-demo.XXXXXX")
mkdir "$work/sample" "$work/inbox"
cp scripts/demo/note.txt scripts/demo/page.html scripts/demo/figures.csv "$work/sample/"
/usr/bin/python3 scripts/demo/make_picture.py "$work/sample/picture.png"

echo "== start a capture server on 127.0.0.1"
/usr/bin/python3 library/tests/peers/capture_server.py "$work/inbox" --ignore-stdin \
  >"$work/server.out" 2>"$work/server.log" &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^PORT //p' "$work/server.out")
  [ -n "$port" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "the capture server did not start; its log:" >&2
  cat "$work/server.log" >&2
  exit 1
fi
echo "  listening on 127.0.0.1:$port, keeping messages in $work/inbox"

echo "== send the sample mail"
build-demo/send_sample "127.0.0.1:$port" "$work/sample"

echo "== what arrived"
message="$work/inbox/1.eml"
echo "  the message landed in $message"
/usr/bin/python3 scripts/demo/show_message.py "$message" "$work/inbox/1.envelope"
