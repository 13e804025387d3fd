#!/usr/bin/env bash
# Installs the built library into a temporary prefix, builds the consumer
# project examples/api against the installed package (find_package(varnel))
# and runs it on the example study: its AreaLROC must be the one the console
# program reports.
#   api_consumer.sh BUILD_DIR SOURCE_DIR CXX [CXX_FLAGS]
set -eu
build=$1 src=$2 cxx=$3 flags=${4:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
test -f "$tmp/prefix/include/varnel/varnel.h"
ls "$tmp"/prefix/lib*/cmake/varnel/varnelConfig.cmake >/dev/null
cmake -S "$src/examples/api" -B "$tmp/build" -DCMAKE_PREFIX_PATH="$tmp/prefix" \
      -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$tmp/build" >/dev/null
out=$("$tmp/build/area_lroc" "$src/examples/reader_a.lrc")
echo "$out"
got=$(echo "$out" | sed -n 's/^target 1: AreaLROC \([0-9.]*\) .*/\1/p')
want=$(sed -n 's/^AreaLROC *\([0-9.]*\).*/\1/p' "$src/tests/e2e/golden/reader_a.report")
if [ -z "$got" ] || [ "$got" != "$want" ]; then
  echo "FAIL: AreaLROC $got, the console program reports $want"
  exit 1
fi
echo "$out" | grep -q "converged after" || { echo "FAIL: no verdict line"; exit 1; }
