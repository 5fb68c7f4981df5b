# Helpers shared by the benchmark scripts (sourced, not run): the tools they
# need, a private home for velmora-cli, one timed run and medians.
# The caller sets `root` (the repository) before sourcing this file.

# bench_need_packages PKG...: installs the Debian packages that are missing
# (as root or through sudo -n); returns 1 when some cannot be installed.
bench_need_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || {
      echo "bench: missing packages (${missing[*]}) and no root or sudo to install them" >&2
      return 1
    }
    sudo=(sudo -n)
  fi
  echo "bench: installing ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get update -qq >/dev/null &&
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
}

# bench_cli: prints the velmora-cli to measure: $VELMORA_CLI when set (used
# as it is, nothing is built), else the Release build in
# ${VELMORA_BENCH_BUILD:-build/}, built first. Returns 1 when there is none.
bench_cli() {
  if [ -n "${VELMORA_CLI:-}" ]; then
    [ -x "$VELMORA_CLI" ] || { echo "bench: VELMORA_CLI=$VELMORA_CLI is not a program" >&2; return 1; }
    echo "$VELMORA_CLI"
    return 0
  fi
  local build="${VELMORA_BENCH_BUILD:-$root/build}"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null &&
    cmake --build "$build" --target velmora-cli >/dev/null || return 1
  echo "$build/velmora-cli"
}

# bench_private_home DIR: points HOME, the desktop and the configuration at
# folders below DIR, so logs land there and the machine's settings take no
# part, and writes DIR/bench.ini: no trace in the debug log, C and H files
# only (the set ctags is given). Extra settings lines come from
# $VELMORA_BENCH_INI (e.g. "PARSER=1").
bench_private_home() {
  local dir=$1
  export HOME="$dir" XDG_DESKTOP_DIR="$dir/Desktop" XDG_CONFIG_HOME="$dir/.config"
  unset VELMORA_TRACE
  mkdir -p "$dir/Desktop"
  {
    printf '[CONFIG]\nDEBUG_LOG=0\nEXT=C;H;\n'
    [ -n "${VELMORA_BENCH_INI:-}" ] && printf '%s\n' "$VELMORA_BENCH_INI"
  } >"$dir/bench.ini"
}

# bench_supports_jobs CLI: true when CLI takes --jobs (its help names it).
bench_supports_jobs() {
  "$1" --help 2>&1 | grep -q -- '--jobs'
}

# bench_timed OUT CMD...: runs CMD once under /usr/bin/time with stdout to
# OUT and stderr to OUT.err; leaves wall, user and system seconds and the
# peak resident size in KiB in $W $U $S $M, and the exit status in $RC.
bench_timed() {
  local out=$1 tf
  shift
  tf=$(mktemp "${TMPDIR:-/tmp}/velmora-time-XXXXXX")
  /usr/bin/time -o "$tf" -f '%e %U %S %M' "$@" >"$out" 2>"$out.err"
  RC=$?
  # time writes "Command exited with non-zero status N" before its line.
  read -r W U S M < <(tail -n 1 "$tf")
  rm -f "$tf"
}

# bench_median V...: prints the median of the numbers (the mean of the two
# middle ones for an even count).
bench_median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 }
    END { if (NR == 0) print 0; else if (NR % 2) print v[(NR + 1) / 2];
          else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# bench_load: one line on how busy the machine is.
bench_load() {
  echo "load: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) on $(nproc) processors"
}
