# Sourced by the scripts that fetch Debian's sources and armel packages for
# the handheld. private_apt DIR MIRROR SUITE makes an apt configuration of
# its own in DIR (lists, cache and an empty package status; a deb-src line
# and an armel line of the mirror) and fetches its lists; apt_get then runs
# apt-get with it. The host's apt set-up is left alone.

private_apt() {
  apt_dir=$1
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts" "$apt_dir/prefs"
  touch "$apt_dir/status"
  cat >"$apt_dir/sources.list" <<SOURCES
deb-src $2 $3 main
deb [arch=armel] $2 $3 main
SOURCES
  apt_get update
}

apt_get() {
  apt-get -q -o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts="$apt_dir/parts" \
    -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts="$apt_dir/prefs" \
    -o Dir::State::Lists="$apt_dir/lists" -o Dir::State::status="$apt_dir/status" \
    -o Dir::Cache="$apt_dir/cache" -o APT::Architecture=armel -o APT::Architectures::=armel \
    -o Debug::NoLocking=1 -o APT::Sandbox::User=root "$@"
}
