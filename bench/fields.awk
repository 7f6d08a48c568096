# Shared by report.awk and smoke_check.sh: splits a measurement line of
# oxl_bench ("file=L rep=N measure=M reader=R key=value ...") into f[key] = value.
function parse_fields(line,    n, i, k, words) {
  delete f
  n = split(line, words, " ")
  for (i = 1; i <= n; i++) { k = index(words[i], "="); f[substr(words[i], 1, k - 1)] = substr(words[i], k + 1) }
}
