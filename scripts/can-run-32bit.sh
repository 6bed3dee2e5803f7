#!/usr/bin/env bash
# Exit status 0 when this machine can execute a 32-bit x86 program natively.
set -u
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
echo 'int main(void) { return 0; }' >"$dir/probe.c"
cc -m32 "$dir/probe.c" -o "$dir/probe" 2>/dev/null && "$dir/probe" 2>/dev/null
