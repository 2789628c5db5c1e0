# Sourced by the set-up scripts. ensure_deb_src adds deb-src entries that
# mirror the machine's Debian archive entries when there are none; it returns 0
# when it added them (the package lists then need an update), 1 otherwise.
ensure_deb_src() {
  # APT_ETC is set only to try this out on a copy of /etc/apt.
  local have=0 f
  for f in ${APT_ETC:-/etc/apt}/sources.list ${APT_ETC:-/etc/apt}/sources.list.d/*.list ${APT_ETC:-/etc/apt}/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    if grep -Eq '^[[:space:]]*deb-src[[:space:]]' "$f" ||
       grep -Eiq '^Types:.*deb-src' "$f"; then
      have=1
    fi
  done
  [ "$have" = 1 ] && return 1

  local out=${APT_ETC:-/etc/apt}/sources.list.d/corvane-deb-src.sources
  : > "$out.tmp"
  # deb822 stanzas of the Debian archive (its key or its path), as deb-src.
  for f in ${APT_ETC:-/etc/apt}/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v RS= -v ORS='\n\n' '
      (/Signed-By:[^\n]*debian-archive-keyring/ || /URIs:[^\n]*debian/) && /(^|\n)Types:[^\n]*deb/ {
        sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print
      }' "$f" >> "$out.tmp"
  done
  # One-line entries ("deb [opts] URI suite comps") in sources.list files.
  local lines
  lines=$(cat ${APT_ETC:-/etc/apt}/sources.list ${APT_ETC:-/etc/apt}/sources.list.d/*.list 2>/dev/null |
    grep -E '^[[:space:]]*deb[[:space:]]' | grep -i debian | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' || true)
  if [ -s "$out.tmp" ]; then
    mv "$out.tmp" "$out"
    echo "deb-src: added deb-src entries in $out"
  elif [ -n "$lines" ]; then
    rm -f "$out.tmp"
    printf '%s\n' "$lines" > ${APT_ETC:-/etc/apt}/sources.list.d/corvane-deb-src.list
    echo "deb-src: added deb-src entries in ${APT_ETC:-/etc/apt}/sources.list.d/corvane-deb-src.list"
  else
    rm -f "$out.tmp"
    echo "deb-src: no Debian apt source found to derive a deb-src entry from" >&2
    exit 1
  fi
  return 0
}

