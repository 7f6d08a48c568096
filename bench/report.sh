#!/usr/bin/env bash
# Writes the tables of a benchmark run (the results file of bench/run.sh) into a
# Markdown file between the lines "<!-- results: begin -->" and
# "<!-- results: end -->", keeping the rest of the file (the notes); a missing
# file is created with just the tables.
#   bench/report.sh <results.txt> <BENCHMARKS.md>
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: bench/report.sh <results.txt> <BENCHMARKS.md>" >&2; exit 2; }
results=$1 out=$2
tables=$(mktemp)
trap 'rm -f "$tables"' EXIT
awk -f "$(dirname "$0")/fields.awk" -f "$(dirname "$0")/report.awk" "$results" >"$tables"
if [ ! -f "$out" ] || ! grep -q '^<!-- results: begin -->$' "$out"; then
  printf '# Benchmarks\n\n<!-- results: begin -->\n<!-- results: end -->\n' >"$out"
fi
awk -v tables="$tables" '
  /^<!-- results: begin -->$/ { print; while ((getline line < tables) > 0) print line; skip = 1; next }
  /^<!-- results: end -->$/ { skip = 0 }
  !skip { print }' "$out" >"$out.new"
mv "$out.new" "$out"
