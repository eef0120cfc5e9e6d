# Sourced by the scripts that build a library for Windows from Debian's source of it
# (scripts/build-qt-windows). Their results go under one cache folder outside the clone,
# $TAVRIN_CACHE (default ~/.cache/tavrin), so that every build on the machine reuses them.
TAVRIN_CACHE=${TAVRIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tavrin}

# fetch_debian_source DIR PACKAGE VERSION: downloads PACKAGE's source at VERSION into DIR and
# unpacks it there with Debian's patches applied. It uses an apt configuration of its own under
# $TAVRIN_CACHE/apt: a deb-src entry for each of the system's deb entries of this release (its
# codename and the -updates and -security suites), so the system's apt state is left alone.
fetch_debian_source() {
  local dir=$1 package=$2 version=$3
  local apt=$TAVRIN_CACHE/apt
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if [ -z "$codename" ]; then
    echo "fetch_debian_source: /etc/os-release names no release (VERSION_CODENAME)" >&2
    return 1
  fi
  rm -rf "$apt/sources.list.d"
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
  : > "$apt/sources.list"
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v c="$codename" '
      $1 == "deb" {
        i = 2
        if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
        s = $(i + 1)
        if (s == c || index(s, c "-") == 1 || index(s, c "/") == 1) { $1 = "deb-src"; print }
      }' "$f" >> "$apt/sources.list"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # Stanzas are copied whole (a Signed-By key may span lines) with Types: deb-src.
    awk -v c="$codename" -v RS= -v ORS='\n\n' '
      {
        n = split($0, line, "\n"); types = 0; ours = 0; enabled = 1; out = ""
        for (j = 1; j <= n; j++) {
          if (line[j] ~ /^#/) continue
          if (line[j] ~ /^Types:/ && line[j] ~ /[ \t]deb([ \t]|$)/) { types = 1; line[j] = "Types: deb-src" }
          if (line[j] ~ /^Enabled:[ \t]*no/) enabled = 0
          if (line[j] ~ /^Suites:/) {
            m = split(line[j], s, /[ \t]+/)
            for (k = 2; k <= m; k++)
              if (s[k] == c || index(s[k], c "-") == 1 || index(s[k], c "/") == 1) ours = 1
          }
          out = out line[j] "\n"
        }
        if (types && ours && enabled) printf "%s\n", out
      }' "$f" > "$apt/sources.list.d/$(basename "$f")"
  done
  if ! grep -qs 'deb-src' "$apt/sources.list" "$apt"/sources.list.d/*; then
    echo "fetch_debian_source: no deb entry of $codename in /etc/apt to take the source from" >&2
    return 1
  fi
  local opts=(
    -o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o Debug::NoLocking=1
  )
  # apt downloads as the _apt user, who cannot write to a folder under root's home.
  if [ "$(id -u)" -eq 0 ]; then opts+=(-o APT::Sandbox::User=root); fi
  apt-get "${opts[@]}" -q update
  (cd "$dir" && apt-get "${opts[@]}" -q source "$package=$version")
}
