# Turns the results of bench/run.sh into Markdown tables: per input file, each
# figure for both readers with medians over the repetitions, the ratio (the
# median of the per-repetition ratios: the readers run side by side in each
# repetition, so pairing cancels part of the machine's drift) and the target.
#
# Input lines: "info<TAB>key<TAB>value", "input<TAB>label<TAB>title<TAB>bytes<TAB>open time target<TAB>cache"
# (the most OXL's open may take as a share of libavformat's; empty: no open targets; cache: warm,
# cold or uncontrolled),
# "landings<TAB>label<TAB>agreeing<TAB>total", and measurements "file=L rep=N measure=M reader=R key=value...".

function median(list,    n, a, i, j, t) {
  n = split(list, a, " ")
  if (n == 0) return ""
  for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
  return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
}
function fmt(x) {
  if (x == "") return "n/a"
  x += 0
  if (x >= 100) return sprintf("%.0f", x)
  if (x >= 10) return sprintf("%.1f", x)
  if (x >= 1) return sprintf("%.2f", x)
  return sprintf("%.3f", x)
}
function add(label, name, reader, value) { v[label, name, reader] = v[label, name, reader] " " value }
# The median over the repetitions of figure `name` of reader `a` divided by that of reader `b` (another figure when nameB is given).
function ratio(label, name, a, b, nameB,    r, list, x, y) {
  if (nameB == "") nameB = name
  list = ""
  for (r = 1; r <= reps; r++) {
    x = one[label, name, a, r]; y = one[label, nameB, b, r]
    if (x != "" && y + 0 > 0) list = list " " x / y
  }
  lastRatios = list
  return median(list)
}
# "lowest–highest" of a list of numbers.
function range(list,    n, a, i, lo, hi) {
  n = split(list, a, " ")
  if (n == 0) return ""
  lo = hi = a[1] + 0
  for (i = 2; i <= n; i++) { if (a[i] + 0 < lo) lo = a[i] + 0; if (a[i] + 0 > hi) hi = a[i] + 0 }
  return fmt(lo) "–" fmt(hi)
}
function status(value, limit, atMost) {
  if (value == "") return "n/a"
  return (atMost ? value <= limit : value >= limit) ? "met" : "**missed**"
}
function row(label, title, name, unit) {
  printf "| %s | %s | %s | %s |", title, fmt(median(v[label, name, "oxl"])), fmt(median(v[label, name, "avformat"])), fmt(ratio(label, name, "oxl", "avformat"))
}
# Called with ratio(...) as `value`, so lastRatios holds that ratio's repetitions.
function target(text, value, limit, atMost, label, key) {
  st = status(value, limit, atMost)
  spread[label, key] = range(lastRatios)
  printf " %s | %s |\n", text, st
  summary[label, key] = st " (" fmt(value) ")"
}
function notarget() { printf " | |\n" }

BEGIN { FS = "\t" }
$1 == "info" { info[$2] = $3; next }
$1 == "input" { files[++nfiles] = $2; title[$2] = $3; size[$2] = $4; openTarget[$2] = $5; cache[$2] = $6; next }
$1 == "landings" { agree[$2] = $3; landings[$2] = $4; next }
/^file=/ {
  parse_fields($0)
  L = f["file"]; R = f["reader"]; rep = f["rep"]; s = f["seconds"]
  if (f["measure"] == "open") {
    put(L, "open_ms", R, rep, s * 1000); put(L, "open_mem", R, rep, f["memory_kib"] / 1024); put(L, "open_peak", R, rep, f["peak_kib"] / 1024)
    put(L, "open_read_mb", R, rep, f["read_bytes"] / 1e6); put(L, "open_read_calls", R, rep, f["read_calls"])
  } else if (f["measure"] == "forward") {
    put(L, "fwd_fps", R, rep, f["samples"] / s); put(L, "fwd_mbps", R, rep, f["bytes"] / s / 1e6); put(L, "fwd_us", R, rep, s / f["samples"] * 1e6)
    samples[L] = f["samples"]; videoBytes[L] = f["bytes"]
  } else if (f["measure"] == "backward") {
    put(L, "bwd_us", R, rep, s / f["samples"] * 1e6)
  } else if (f["measure"] == "seek") {
    put(L, "seek_us", R, rep, s / f["seeks"] * 1e6)
  }
  key = L SUBSEP f["measure"] SUBSEP R
  if (key in bytes && bytes[key] != f["bytes"]) bytes[key] = "varies"; else bytes[key] = f["bytes"]
}
function put(label, name, reader, rep, value) { add(label, name, reader, value); one[label, name, reader, rep] = value }
function same(label, measure) { return bytes[label, measure, "oxl"] == bytes[label, measure, "avformat"] && bytes[label, measure, "oxl"] != "varies" ? "yes" : "**no**" }

END {
  reps = info["reps"]
  printf "Measured %s on %s, %s of memory, %s. Compared with %s. Build: RelWithDebInfo (-O2 -g), commit %s.\n\n", info["date"], info["cpu"], info["memory"], info["system"], info["avformat"], info["commit"]
  printf "Every figure is the median of %d runs, each in a fresh process (`oxl_bench`, one measurement per run); in every repetition the two readers run one after the other, alternating which goes first. A ratio is the median of the per-repetition ratios. Warm cache, unless a file's section says otherwise: each file is read once before its runs and stays in the page cache, so both readers read from memory, and plain `read()` shows what this machine's page cache delivers.\n\n", reps
  for (i = 1; i <= nfiles; i++) {
    L = files[i]
    printf "### %s\n\n", title[L]
    printf "%.2f GB file, %d video samples holding %.1f MB.", size[L] / 1e9, samples[L], videoBytes[L] / 1e6
    if (cache[L] == "cold") printf " Cold cache: the file is larger than three quarters of the memory, so the page cache is emptied before every run and every reader, plain `read()` included, reads it from disk."
    if (cache[L] == "uncontrolled") printf " The file is larger than three quarters of the memory and the page cache could not be emptied (not root): each run finds whatever part of it the run before left cached, so these figures vary with the order of the runs."
    printf "\n\n"
    printf "| Figure | OXL reader | libavformat | OXL / libavformat | Target | Result |\n|---|---:|---:|---:|---|---|\n"
    row(L, "Open: time until ready for the first frame (ms)", "open_ms")
    if (openTarget[L] != "") target("OXL ≤ " openTarget[L] " × libavformat", ratio(L, "open_ms", "oxl", "avformat"), openTarget[L] + 0, 1, L, "open_ms"); else notarget()
    row(L, "Open: peak resident memory added by opening (MiB)", "open_mem")
    if (openTarget[L] != "") target("OXL ≤ 0.25 × libavformat", ratio(L, "open_mem", "oxl", "avformat"), 0.25, 1, L, "open_mem"); else notarget()
    row(L, "Open: peak resident memory of the whole process (MiB)", "open_peak"); notarget()
    row(L, "Open: MB read from the file", "open_read_mb"); notarget()
    row(L, "Open: read calls", "open_read_calls"); notarget()
    # The long files (those with open targets) must beat libavformat by a margin; the short ProRes file match it.
    long = openTarget[L] != ""
    row(L, "Forward: frames per second", "fwd_fps")
    target("OXL ≥ " (long ? "1.5" : "1.0") " × libavformat", ratio(L, "fwd_fps", "oxl", "avformat"), long ? 1.5 : 1, 0, L, "fwd_fps")
    row(L, "Forward: video MB per second", "fwd_mbps"); notarget()
    printf "| Forward: share of plain `read()` of the same bytes (%s MB/s) | %s | %s | |", fmt(median(v[L, "fwd_mbps", "read"])), fmt(ratio(L, "fwd_mbps", "oxl", "read")), fmt(ratio(L, "fwd_mbps", "avformat", "read"))
    target("OXL ≥ 0.90", ratio(L, "fwd_mbps", "oxl", "read"), 0.9, 0, L, "fwd_read")
    printf "| Forward: plain `read()` plus a copy of each frame into a buffer, as share of plain `read()`: the best a reader that fills the caller's buffer can do | %s | | |", fmt(ratio(L, "fwd_mbps", "copy", "read")); notarget()
    row(L, "Backward: µs per frame (libavformat: a seek per group)", "bwd_us"); notarget()
    printf "| Backward frame cost / forward frame cost | %s | %s | |", fmt(ratio(L, "bwd_us", "oxl", "oxl", "fwd_us")), fmt(ratio(L, "bwd_us", "avformat", "avformat", "fwd_us"))
    target("OXL ≤ 1.5", ratio(L, "bwd_us", "oxl", "oxl", "fwd_us"), 1.5, 1, L, "bwd")
    row(L, sprintf("Seek: µs per random landing + read (%d landings)", info["seeks"]), "seek_us")
    target("OXL ≤ " (long ? "0.5" : "1.0") " × libavformat", ratio(L, "seek_us", "oxl", "avformat"), long ? 0.5 : 1, 1, L, "seek_us")
    printf "\nSame bytes delivered by both readers: forward %s, backward %s, seek %s. Seek landings on the same frame: %d of %d.\n\n", same(L, "forward"), same(L, "backward"), same(L, "seek"), agree[L], landings[L]
  }
  printf "### Targets at a glance\n\n| Target |"
  for (i = 1; i <= nfiles; i++) printf " %s |", files[i]
  printf "\n|---|"
  for (i = 1; i <= nfiles; i++) printf "---|"
  printf "\n"
  split("open_ms|open_mem|fwd_fps|fwd_read|bwd|seek_us", keys, "|")
  split("Open time ≤ 0.5 × libavformat (one-hour files; fragmented: ≤ 0.05 ×)|Open memory ≤ 0.25 × libavformat (one-hour and fragmented files)|Forward frames/s ≥ 1.5 × libavformat (long files; ProRes: ≥ 1.0 ×)|Forward ≥ 0.90 × plain read()|Backward frame ≤ 1.5 × forward frame|Random seek ≤ 0.5 × libavformat (long files; ProRes: ≤ 1.0 ×)", names, "|")
  for (k = 1; k <= 6; k++) {
    printf "| %s |", names[k]
    for (i = 1; i <= nfiles; i++) printf " %s |", ((files[i], keys[k]) in summary) ? summary[files[i], keys[k]] : "—"
    printf "\n"
  }
  printf "\nThe same ratios, lowest–highest over the %d repetitions:\n\n| Target |", reps
  for (i = 1; i <= nfiles; i++) printf " %s |", files[i]
  printf "\n|---|"
  for (i = 1; i <= nfiles; i++) printf "---|"
  printf "\n"
  for (k = 1; k <= 6; k++) {
    printf "| %s |", names[k]
    for (i = 1; i <= nfiles; i++) printf " %s |", ((files[i], keys[k]) in spread) ? spread[files[i], keys[k]] : "—"
    printf "\n"
  }
}
