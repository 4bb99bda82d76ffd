#!/usr/bin/env bash
# deb-src-entries.sh CODENAME [FILE...]
# Prints deb822 "Types: deb-src" stanzas for the Debian binary sources configured in FILE...
# (default: the files apt reads), so that `apt-get source` uses the same mirror, suites,
# components and key as the machine's own packages. Both formats are read: deb822 .sources
# stanzas and one-line "deb [options] URI SUITE COMPONENT..." entries. Only suites of the
# release CODENAME (bookworm, bookworm-updates, bookworm-security...) are taken, which leaves
# out third-party repositories. Prints nothing when there is none.
set -euo pipefail
codename=$1
shift
if [ $# -eq 0 ]; then
  set -- /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources
fi
for file in "$@"; do
  [ -f "$file" ] || continue
  case $file in
    */qn718-deb-src.sources) continue ;;  # our own output
    *.sources) format=deb822 ;;
    *) format=oneline ;;
  esac
  awk -v codename="$codename" -v format="$format" '
    function suites_of(list,    n, i, parts, kept) {
      n = split(list, parts, /[ \t]+/)
      kept = ""
      for (i = 1; i <= n; i++)
        if (parts[i] ~ ("^" codename "(-[a-z]+)?$"))
          kept = kept (kept == "" ? "" : " ") parts[i]
      return kept
    }
    function emit(uris, suites, components, signed, trusted,    kept) {
      kept = suites_of(suites)
      if (kept == "" || uris == "" || components == "") return
      print "Types: deb-src"
      print "URIs: " uris
      print "Suites: " kept
      print "Components: " components
      if (signed != "") print "Signed-By: " signed
      if (trusted != "") print "Trusted: " trusted
      print ""
    }
    function flush() {
      if (f["types"] ~ /(^|[ \t])deb([ \t]|$)/ && tolower(f["enabled"]) != "no")
        emit(f["uris"], f["suites"], f["components"], f["signed-by"], f["trusted"])
      delete f
      last = ""
    }
    format == "deb822" {
      if ($0 ~ /^#/) next
      if ($0 ~ /^[ \t]*$/) { flush(); next }
      if ($0 ~ /^[ \t]/ && last != "") { f[last] = f[last] "\n" $0; next }  # continuation
      colon = index($0, ":")
      if (colon == 0) next
      last = tolower(substr($0, 1, colon - 1))
      value = substr($0, colon + 1)
      sub(/^[ \t]+/, "", value); sub(/[ \t]+$/, "", value)
      f[last] = value
      next
    }
    format == "oneline" {
      line = $0
      sub(/#.*/, "", line)
      if (line !~ /^[ \t]*deb[ \t]/) next
      sub(/^[ \t]*deb[ \t]+/, "", line)
      signed = ""; trusted = ""
      if (line ~ /^\[/) {
        options = substr(line, 2, index(line, "]") - 2)
        line = substr(line, index(line, "]") + 1)
        n = split(options, opts, /[ \t]+/)
        for (i = 1; i <= n; i++) {
          if (opts[i] ~ /^signed-by=/) signed = substr(opts[i], 11)
          if (opts[i] ~ /^trusted=/) trusted = substr(opts[i], 9)
        }
      }
      sub(/^[ \t]+/, "", line)
      n = split(line, words, /[ \t]+/)
      if (n < 3) next
      components = words[3]
      for (i = 4; i <= n; i++) components = components " " words[i]
      emit(words[1], words[2], components, signed, trusted)
    }
    END { if (format == "deb822") flush() }
  ' "$file"
done
