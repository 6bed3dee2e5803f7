#!/bin/sh
# Prints the contacts window's figures on a full contact database (32,767
# persons, 1,000 groups, 100,000 memberships). Run from a build folder
# configured with -DQUILLNET_BUILD_BENCH=ON after
#   cmake --build . --target demo_database demo_persons_window
set -eu
build=${1:-.}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
"$build/bench/demo_database" "$folder/contacts.sqlite"
"$build/bench/demo_persons_window" "$folder/contacts.sqlite"
