#!/usr/bin/env bash
# Checks a smoke run of bench/run.sh: on every input both readers delivered the
# same bytes in the same order forwards, backwards and after each seek (so the
# timed runs compare equal work), plain read() read those same bytes, every
# seek landed on the same frame, and the report has a table per input.
#   bench/smoke_check.sh <results.txt> <BENCHMARKS.md>
set -euo pipefail
results=$1 report=$2
awk -F'\t' '
  /^file=/ {
    delete f
    n = split($0, words, " ")
    for (i = 1; i <= n; i++) { k = index(words[i], "="); f[substr(words[i], 1, k - 1)] = substr(words[i], k + 1) }
    if (f["measure"] == "open") { if (f["samples"] + 0 == 0) { print "no samples after open: " $0; bad = 1 } ; next }
    if (!("hash" in f)) { print "no hash (not a --verify run): " $0; bad = 1; next }
    hash[f["file"], f["measure"], f["reader"]] = f["hash"]
    seen[f["file"], f["measure"]] = 1
  }
  $1 == "landings" && $3 != $4 { print $2 ": only " $3 " of " $4 " seeks landed on the same frame"; bad = 1 }
  $1 == "input" { inputs++ }
  END {
    for (key in seen) {
      split(key, p, SUBSEP)
      if (hash[p[1], p[2], "oxl"] != hash[p[1], p[2], "avformat"]) { print p[1] " " p[2] ": the readers delivered different bytes"; bad = 1 }
      if (p[2] == "forward" && hash[p[1], p[2], "read"] != hash[p[1], p[2], "oxl"]) { print p[1] ": plain read() read other bytes"; bad = 1 }
    }
    if (inputs == 0) { print "no inputs measured"; bad = 1 }
    exit bad
  }' "$results"
inputs=$(grep -c '^input' "$results")
tables=$(grep -c '^| Open: time until ready' "$report")
[ "$tables" -eq "$inputs" ] || { echo "report has $tables tables for $inputs inputs" >&2; exit 1; }
echo "smoke run checked: $inputs inputs, both readers agree" >&2
