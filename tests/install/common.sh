# shellcheck shell=bash
# Shared by install-test and package-test: a scratch folder that is removed
# at the end, a home and XDG folders inside it (never the machine's own),
# and fail/check helpers that report every fault before the test ends.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/velmora-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failed=0

fail() {
  echo "FAIL: $*"
  failed=1
}

# Runs a program with a fresh scratch home: HOME and TMPDIR inside $scratch,
# every XDG folder left to its default below that home.
with_home() {  # HOME_DIR COMMAND...
  local home=$1
  shift
  mkdir -p "$home" "$scratch/tmp"
  env -u XDG_CONFIG_HOME -u XDG_STATE_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME \
    -u XDG_CONFIG_DIRS -u XDG_DATA_DIRS -u XDG_DESKTOP_DIR -u DISPLAY -u WAYLAND_DISPLAY \
    HOME="$home" TMPDIR="$scratch/tmp" VELMORA_TRACE="$home/trace.txt" LC_ALL=C.UTF-8 "$@"
}

# The trace of a run ends with a clean leak report.
check_clean_exit() {  # TRACE LABEL
  local last
  last=$(tail -n 1 "$1" 2>/dev/null)
  [ "$last" = "_MEMCHECK: Unfreed Allocations Chack :OK" ] ||
    fail "$2: the trace does not end with a clean leak report: $last"
}

finish() {
  [ $failed = 0 ] && echo "all checks passed"
  exit $failed
}
