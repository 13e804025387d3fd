#!/usr/bin/env bash
# Installs the built library into a temporary prefix, builds the consumer
# project examples/api against the installed package (find_package(varnel))
# and runs its programs: the AreaLROC of the example study must be the one the
# console program reports, and the comparison of a study made in memory
# (columns, the library's compare) must give the JSON report the installed
# varnel-study gives for the same study written as CSV, byte for byte.
#   api_consumer.sh BUILD_DIR SOURCE_DIR CXX [CXX_FLAGS]
set -eu
build=$1 src=$2 cxx=$3 flags=${4:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
test -f "$tmp/prefix/include/varnel/varnel.h"
test -f "$tmp/prefix/include/varnel/compare.h"
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

# The study in memory against the command on its CSV, an empirical and a
# model-based FOM; the text report names the reference reader.
cd "$tmp"
for fom in wilcoxon model-alroc; do
  "$tmp/build/compare_study" "$fom" cases.csv > library.json
  "$tmp/prefix/bin/varnel-study" compare cases.csv --fom "$fom" --reference algorithm \
      --format json --quiet > command.json
  if ! cmp -s library.json command.json; then
    echo "FAIL: $fom: the library's report differs from the command's"
    diff library.json command.json | head -20
    exit 1
  fi
  grep -q '"reference": "algorithm"' library.json ||
    { echo "FAIL: $fom: no reference analysis"; exit 1; }
done
"$tmp/build/compare_study" | tee report.txt | head -12
grep -q "algorithm" report.txt ||
  { echo "FAIL: the text report does not name the reference"; exit 1; }
