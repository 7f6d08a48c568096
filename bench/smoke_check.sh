#!/usr/bin/env bash
# Checks a smoke run of bench/run.sh: on every input both readers delivered the
# same bytes in the same order forwards, backwards and after each seek (so the
# timed runs compare equal work), plain read() read those same bytes, every
# seek landed on the same frame, and the report has a table per input.
#   bench/smoke_check.sh <results.txt> <BENCHMARKS.md>
set -euo pipefail
results=$1 report=$2
here=$(dirname "$0")
awk -F'\t' -f "$here/fields.awk" -f "$here/smoke_check.awk" "$results"
inputs=$(grep -c '^input' "$results")
tables=$(grep -c '^| Open: time until ready' "$report")
[ "$tables" -eq "$inputs" ] || { echo "report has $tables tables for $inputs inputs" >&2; exit 1; }
echo "smoke run checked: $inputs inputs, both readers agree" >&2
