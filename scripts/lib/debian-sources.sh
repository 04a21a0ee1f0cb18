# Fetching Debian 12 source packages with apt, through a source list of its
# own, so the machine's lists stay as they are. Sourced by the scripts that
# build Windows libraries; they call debian_sources_init WORK_DIR first.

# The Debian archive this machine installs its packages from (its first
# deb822 or one-line source), else Debian's own.
debian_mirror() {
  local uri
  uri=$(awk '/^URIs:/ && $2 ~ /\/debian\/?$/ { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null) ||
    true
  [[ -n $uri ]] || uri=$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ { print $2; exit }' /etc/apt/sources.list \
    /etc/apt/sources.list.d/*.list 2>/dev/null) || true
  echo "${uri:-http://deb.debian.org/debian}"
}

# Sets apt_private (the options that point apt at WORK_DIR/apt) and writes
# the source list there.
debian_sources_init() {
  local apt_dir=$1/apt
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial"
  cat >"$apt_dir/sources.list.d/debian-sources.sources" <<SOURCES
Types: deb-src
URIs: $(debian_mirror)
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  apt_private=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
    -o Dir::State::Lists="$apt_dir/lists" -q)
  # As root apt would hand the download to its own user, who cannot write here.
  [[ $(id -u) -ne 0 ]] || apt_private+=(-o APT::Sandbox::User=root)
}

# Reads the source lists; fails when they cannot be fetched (log in LOG).
debian_sources_update() {
  apt-get "${apt_private[@]}" update >"$1" 2>&1
}

# The newest version of source package NAME the lists name (empty if none).
debian_source_version() {
  apt-cache "${apt_private[@]}" showsrc "$1" 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -V | tail -n 1
}

# Unpacks source packages into the current folder, with Debian's patches.
debian_source_fetch() {
  local log=$1
  shift
  apt-get "${apt_private[@]}" source "$@" >"$log" 2>&1
}
