# Sourced by the setup scripts: reads the machine's own apt source entries, so that the
# entries we add (source packages, the backports suite) name the archive the machine
# already uses instead of an address written into the project.
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# The release's code name, e.g. "bookworm".
debian_codename() {
  . /etc/os-release
  echo "${VERSION_CODENAME:?no VERSION_CODENAME in /etc/os-release}"
}

# One line per suite of every enabled binary ("deb") entry of this release, from both
# the one-line and the deb822 formats: "URI SUITE SIGNED-BY" (SIGNED-BY may be empty).
# Files whose names start with "pelzor-" are the project's own and are left out.
debian_archive_entries() {
  local codename files=()
  codename=$(debian_codename)
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && [[ "$(basename "$f")" != pelzor-* ]] && files+=("$f")
  done
  [ ${#files[@]} -gt 0 ] || return 0
  awk -v codename="$codename" '
    function emit(uris, suites, signed,   u, s, nu, ns, i, j) {
      nu = split(uris, u, " "); ns = split(suites, s, " ")
      for (i = 1; i <= nu; i++)
        for (j = 1; j <= ns; j++)
          if (s[j] == codename || index(s[j], codename "-") == 1)
            print u[i], s[j], signed
    }
    function flush() {
      if (types ~ /(^| )deb( |$)/ && enabled != "no") emit(uris, suites, signed)
      types = uris = suites = signed = enabled = ""
    }
    FNR == 1 { flush(); deb822 = FILENAME ~ /\.sources$/ }
    /^[ \t]*#/ { next }
    deb822 && /^[ \t]*$/ { flush(); next }
    deb822 {
      key = tolower($1); sub(/:$/, "", key)
      value = $0; sub(/^[^:]*:[ \t]*/, "", value)
      if (key == "types") types = value
      else if (key == "uris") uris = value
      else if (key == "suites") suites = value
      else if (key == "signed-by") signed = value
      else if (key == "enabled") enabled = tolower(value)
      next
    }
    $1 == "deb" {
      line = $0; signed = ""
      if (match(line, /\[[^]]*\]/)) {
        options = substr(line, RSTART + 1, RLENGTH - 2)
        line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH)
        if (match(options, /signed-by=[^ ]+/)) signed = substr(options, RSTART + 10, RLENGTH - 10)
      }
      split(line, w, " ")
      emit(w[2], w[3], signed)
      signed = ""
    }
    END { flush() }
  ' "${files[@]}"
}

# Writes a deb822 apt source file; each input line "URI SUITE SIGNED-BY" becomes one entry.
write_apt_sources() {
  local type=$1 file=$2 uri suite signed
  while read -r uri suite signed; do
    printf 'Types: %s\nURIs: %s\nSuites: %s\nComponents: main\n' "$type" "$uri" "$suite"
    [ -n "$signed" ] && printf 'Signed-By: %s\n' "$signed"
    echo
  done | sudo_if_needed tee "$file" >/dev/null
}
