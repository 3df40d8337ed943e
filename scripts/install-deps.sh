#!/usr/bin/env bash
# Installs the Debian packages that one step needs and that are missing:
# as root with apt-get (naming them first), otherwise it names them and fails.
# Does nothing when all are present.
#
# usage: install-deps.sh STEP
#   build          configure and build the tool (make run)
#   test           build and run every test (make test)
#   fuzz           the libFuzzer harnesses with clang (make fuzz)
#   bench          the benchmark (make bench)
#   package        the Debian package with its tests (make package)
#   package-check  the checks of the package in .ci/run (lintian, man page lint)
set -eu

step=${1:-build}
missing=()
have_cmd() { command -v "$1" > /dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2> /dev/null | grep -q 'install ok installed'; }
need_cmd() { have_cmd "$1" || missing+=("$2"); }
need_pkg() { local p; for p; do have_pkg "$p" || missing+=("$p"); done; }

install_missing() {
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]}" >&2
    echo "install them (as root: apt-get install ${missing[*]}) and run again" >&2
    exit 1
  fi
  echo "install-deps.sh $step: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
  missing=()
}

build_deps() {
  need_cmd cmake cmake
  need_cmd g++ g++
  need_cmd make make
  need_cmd pkg-config pkg-config
  need_pkg nettle-dev nlohmann-json3-dev
}

# The completion test uses bash-completion's helpers; the JSON test python3's
# jsonschema module.
test_deps() {
  build_deps
  need_pkg libgtest-dev python3 python3-jsonschema bash-completion
}

case $step in
  build) build_deps ;;
  test) test_deps ;;
  bench)
    build_deps
    [ -x /usr/bin/time ] || missing+=(time)
    # The varied configuration's generator.
    need_cmd python3 python3
    ;;
  fuzz)
    build_deps
    need_cmd clang++ clang
    install_missing
    # libFuzzer's runtime comes in a package named after clang's major version.
    need_pkg "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev"
    ;;
  # debian/control's Build-Depends: the build and, unless nocheck, its tests.
  package)
    test_deps
    need_pkg dpkg-dev debhelper
    ;;
  package-check)
    need_cmd lintian lintian
    need_cmd mandoc mandoc
    need_cmd groff groff-base
    ;;
  *)
    echo "install-deps.sh: unknown step '$step'" >&2
    exit 2
    ;;
esac
install_missing
