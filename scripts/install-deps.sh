#!/usr/bin/env bash
# Does nothing when the build's tools and libraries are present; otherwise
# installs the missing Debian packages when run as root, or names them.
# With the argument "bench", also what the benchmark needs (GNU time, and
# python3 for the varied configuration's generator).
# `install-deps.sh packaging`: also what `make package` and its checks use.
set -eu

missing=()
have_cmd() { command -v "$1" > /dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2> /dev/null | grep -q 'install ok installed'; }

install_missing() {
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]}" >&2
    echo "install them (as root: apt-get install ${missing[*]}) and run again" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
  missing=()
}

have_cmd cmake || missing+=(cmake)
have_cmd g++ || missing+=(g++)
have_cmd make || missing+=(make)
have_cmd pkg-config || missing+=(pkg-config)
have_cmd diff || missing+=(diffutils)
have_pkg nlohmann-json3-dev || missing+=(nlohmann-json3-dev)
have_pkg python3-jsonschema || missing+=(python3-jsonschema)
have_pkg nettle-dev || missing+=(nettle-dev)
have_pkg libgtest-dev || missing+=(libgtest-dev)
if [ "${1:-}" = bench ]; then
  [ -x /usr/bin/time ] || missing+=(time)
  have_cmd python3 || missing+=(python3)
fi
have_pkg bash-completion || missing+=(bash-completion)
# The fuzz run (make fuzz) builds with clang.
have_cmd clang++ || missing+=(clang)

if [ "${1-}" = packaging ]; then
  have_cmd dpkg-shlibdeps || missing+=(dpkg-dev)
  have_cmd lintian || missing+=(lintian)
  have_cmd mandoc || missing+=(mandoc)
  have_cmd groff || missing+=(groff-base)
fi
install_missing

# libFuzzer's runtime comes in a package named after clang's major version.
clang_rt=libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev
have_pkg "$clang_rt" || missing+=("$clang_rt")
install_missing
