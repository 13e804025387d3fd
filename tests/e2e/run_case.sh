#!/usr/bin/env bash
# Runs varnel on one example as a user would (answers on standard input) and
# compares the console transcript, the output file and, when asked, the trace
# file byte for byte with the expected files in golden/.
#   run_case.sh EXE SOURCE_DIR NAME DATA_FILE ANSWERS [trace] [twice]
# With UPDATE_GOLDEN=1 the expected files are written instead (review the diff).
set -u
exe=$1 src=$2 name=$3 data=$4 answers=$5
shift 5
want_trace=0 twice=0
for opt in "$@"; do
  case $opt in
    trace) want_trace=1 ;;
    twice) twice=1 ;;
  esac
done
here=$src/tests/e2e
golden=$here/golden
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cp "$src/examples/$data" "$tmp/$data"
sed "s#@OUT@#$tmp/report.txt#" "$here/answers/$answers" > "$tmp/answers"
args=()
[ $want_trace = 1 ] && args+=(/D /Ftrace.txt)

fail=0
run_once() {
  (cd "$tmp" && timeout 300 "$exe" "${args[@]}" "$data" < answers > console.txt 2> stderr.txt)
  local status=$?
  if [ $status -ne 0 ]; then echo "FAIL $name: exit status $status"; cat "$tmp/stderr.txt"; fail=1; fi
  if [ -s "$tmp/stderr.txt" ]; then echo "FAIL $name: standard error not empty"; cat "$tmp/stderr.txt"; fail=1; fi
  if ! cmp -s "$src/examples/$data" "$tmp/$data"; then echo "FAIL $name: data file modified"; fail=1; fi
}

compare() {  # compare ACTUAL EXPECTED
  if [ "${UPDATE_GOLDEN:-0}" = 1 ]; then cp "$1" "$2"; return; fi
  if ! cmp -s "$1" "$2"; then
    echo "FAIL $name: $(basename "$2") differs"
    diff "$2" "$1" | head -40
    fail=1
  fi
}

run_once
compare "$tmp/console.txt" "$golden/$name.console"
compare "$tmp/report.txt" "$golden/$name.report"
[ $want_trace = 1 ] && compare "$tmp/trace.txt" "$golden/$name.trace"
if [ $twice = 1 ]; then
  # A second run into the same output file name replaces the file.
  run_once
  compare "$tmp/report.txt" "$golden/$name.report"
fi
[ $fail = 0 ] && echo "ok $name"
exit $fail
