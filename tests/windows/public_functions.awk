# Prints the names of the functions a C header declares with PDFTEXT_API,
# one a line.  Comments and preprocessor lines are dropped first, so the
# macro's own definition and prose about it do not count.
{
  line = $0
  out = ""
  while (line != "") {
    if (in_comment) {
      i = index(line, "*/")
      if (!i) { line = ""; break }
      line = substr(line, i + 2)
      in_comment = 0
    } else {
      i = index(line, "/*")
      j = index(line, "//")
      if (j && (!i || j < i)) { out = out substr(line, 1, j - 1); break }
      if (!i) { out = out line; break }
      out = out substr(line, 1, i - 1) " "
      line = substr(line, i + 2)
      in_comment = 1
    }
  }
  if (continued || out ~ /^[ \t]*#/) { continued = (out ~ /\\$/); next }
  text = text " " out
}
END {
  n = split(text, decl, ";")
  for (k = 1; k <= n; k++) {
    d = decl[k]
    if (!match(d, /(^|[^A-Za-z0-9_])PDFTEXT_API([^A-Za-z0-9_]|$)/)) continue
    d = substr(d, RSTART + RLENGTH)
    if (match(d, /[A-Za-z_][A-Za-z0-9_]*[ \t]*\(/)) {
      name = substr(d, RSTART, RLENGTH)
      sub(/[ \t]*\($/, "", name)
      print name
    }
  }
}
