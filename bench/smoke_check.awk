# The checks of bench/smoke_check.sh over a results file of bench/run.sh
# (tab-separated info lines, measurement lines of key=value words).
/^file=/ {
  parse_fields($0)
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
    if (p[2] == "forward" && hash[p[1], p[2], "copy"] != hash[p[1], p[2], "oxl"]) { print p[1] ": the copying read() delivered other bytes"; bad = 1 }
  }
  if (inputs == 0) { print "no inputs measured"; bad = 1 }
  exit bad
}
