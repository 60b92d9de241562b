#!/usr/bin/env bash
# Installs with apt what one purpose needs on Debian or Ubuntu, and only what is missing:
#   install-deps.sh run i686|x86_64   running the editor: Wine and the one cross compiler of that build
#   install-deps.sh kvx               building the native kvx and its manual page (make kvx, make install)
#   install-deps.sh deb               kvx's Debian package (make deb)
#   install-deps.sh test              everything: every build, test, lint and fuzz (the default)
#   install-deps.sh --list PURPOSE... prints the Debian packages of a purpose and installs nothing
# Each purpose's list is made here from the smaller ones, so that they cannot drift apart. Safe to run
# again: every step first checks whether its work is already done.
set -euo pipefail

list_only=0
if [ "${1:-}" = --list ]; then
  list_only=1
  shift
fi
purpose=${1:-test}
run_arch=${2:-}
case $purpose in
  run) [ "$run_arch" = i686 ] || [ "$run_arch" = x86_64 ] || { echo "usage: install-deps.sh run i686|x86_64" >&2; exit 2; } ;;
  kvx | deb | test) ;;
  *) echo "install-deps: no purpose '$purpose' (run, kvx, deb or test)" >&2; exit 2 ;;
esac

if [ "$list_only" = 1 ] || [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "install-deps: run as root or install sudo" >&2
  exit 1
fi

# Debian package name (with its architecture where it is not the machine's), then a file whose
# presence shows it is installed.
# The editor's build for one architecture, and Wine to run it. CLI11 is read when the build is
# configured (kvx.exe is part of it), even when only the editor is built.
run_common=(
  "make /usr/bin/make"
  "cmake /usr/bin/cmake"
  "libcli11-dev /usr/include/CLI/CLI.hpp"
  "wine /usr/bin/wine"
  "fonts-wine /usr/share/wine/fonts/tahoma.ttf"
)
# Wine draws its windows through these X libraries; its package only recommends them, and the run
# installs no recommended packages (those of the compilers and of Wine serve other programs).
x_libraries=(libxrender1 libXrender.so.1 libxrandr2 libXrandr.so.2 libxi6 libXi.so.6 libxcursor1 libXcursor.so.1
  libxinerama1 libXinerama.so.1 libxcomposite1 libXcomposite.so.1 libxfixes3 libXfixes.so.3)
# Each architecture's cross compiler, then Wine for it.
build_i686=(
  "g++-mingw-w64-i686-posix /usr/bin/i686-w64-mingw32-g++-posix"
  "binutils-mingw-w64-i686 /usr/bin/i686-w64-mingw32-windres"
)
wine_i686=("wine32:i386 /usr/lib/wine/wine")
build_x86_64=(
  "g++-mingw-w64-x86-64-posix /usr/bin/x86_64-w64-mingw32-g++-posix"
  "binutils-mingw-w64-x86-64 /usr/bin/x86_64-w64-mingw32-windres"
)
wine_x86_64=("wine64 /usr/lib/wine/wine64")
for ((i = 0; i < ${#x_libraries[@]}; i += 2)); do
  wine_x86_64+=("${x_libraries[i]} /usr/lib/x86_64-linux-gnu/${x_libraries[i + 1]}")
  wine_i686+=("${x_libraries[i]}:i386 /usr/lib/i386-linux-gnu/${x_libraries[i + 1]}")
done

# The native kvx, its manual page and completion (made by a Python script from its help), and the
# network receivers it reaches through libcurl.
kvx=(
  "make /usr/bin/make"
  "cmake /usr/bin/cmake"
  "g++ /usr/bin/g++"
  "libcli11-dev /usr/include/CLI/CLI.hpp"
  "libcurl4-openssl-dev /usr/bin/curl-config"
  "python3 /usr/bin/python3"
)
# Its Debian package: dependencies computed from the binary, and lintian's check.
deb=(
  "dpkg-dev /usr/bin/dpkg-shlibdeps"
  "lintian /usr/bin/lintian"
)
# What only the tests, the lint, the fuzz, the screenshots and the benchmark need.
test_only=(
  "xvfb /usr/bin/xvfb-run"
  "xauth /usr/bin/xauth"
  "googletest /usr/src/googletest/CMakeLists.txt"
  "clang /usr/bin/clang++"
  "libclang-rt-14-dev /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a"
  "imagemagick /usr/bin/import"
  "libreoffice-calc-nogui /usr/bin/soffice"
  "clang-format /usr/bin/clang-format"
  "clang-tidy /usr/bin/clang-tidy"
  "zip /usr/bin/zip"
  "vdr /usr/bin/vdr"
  "vdr-plugin-streamdev-client /usr/lib/vdr/plugins/libvdr-streamdev-client.so.2.6.0"
  "python3-pyftpdlib /usr/lib/python3/dist-packages/pyftpdlib/__init__.py"
  "man-db /usr/bin/man"
)

# 32-bit Wine only where this machine can execute 32-bit x86 code; elsewhere the x86-64 build of
# the same sources is what runs (under wine64). The tests build both Windows programs everywhere.
here=$(cd "$(dirname "$0")" && pwd)
runs32=0
case $purpose in
  run) [ "$run_arch" = i686 ] && runs32=1 ;;
  test)
    if "$here/runs-32bit.sh"; then
      runs32=1
      [ "$list_only" = 1 ] || echo "install-deps: this machine runs 32-bit x86 programs: both Windows builds run and are tested"
    else
      [ "$list_only" = 1 ] || echo "install-deps: this machine cannot run 32-bit x86 programs: the x86-64 build runs and is tested instead"
    fi
    ;;
esac

case $purpose in
  run)
    wanted=("${run_common[@]}")
    if [ "$run_arch" = i686 ]; then
      wanted+=("${build_i686[@]}" "${wine_i686[@]}")
    else
      wanted+=("${build_x86_64[@]}" "${wine_x86_64[@]}")
    fi
    ;;
  kvx) wanted=("${kvx[@]}") ;;
  deb) wanted=("${kvx[@]}" "${deb[@]}") ;;
  test)
    # Both cross compilers everywhere; wine64 always, wine32 (and its X libraries) where it can run.
    wanted=("${run_common[@]}" "${build_x86_64[@]}" "${wine_x86_64[@]}" "${build_i686[@]}" "${kvx[@]}" "${deb[@]}"
      "${test_only[@]}")
    if [ "$runs32" = 1 ]; then wanted+=("${wine_i686[@]}"); fi
    ;;
esac
# Each package once, in the order first named.
declare -A seen=()
unique=()
for entry in "${wanted[@]}"; do
  if [ -z "${seen[${entry%% *}]:-}" ]; then
    seen[${entry%% *}]=1
    unique+=("$entry")
  fi
done
wanted=("${unique[@]}")

if [ "$list_only" = 1 ]; then
  for entry in "${wanted[@]}"; do echo "${entry%% *}"; done
  exit 0
fi

missing=()
for entry in "${wanted[@]}"; do
  pkg=${entry%% *}
  file=${entry#* }
  if [ ! -e "$file" ] && ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

# wine32 lives in the i386 architecture.
if [ "$runs32" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "install-deps: adding the i386 architecture"
  "${SUDO[@]}" dpkg --add-architecture i386
  need_update=1
fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything for $purpose is installed"
  exit 0
fi

echo "install-deps: installing for $purpose: ${missing[*]}"
# A new machine often runs its first unattended upgrade just then: wait for apt's lock, not fail.
apt_get=("${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900)
need_update=${need_update:-1}
if [ "$need_update" = 1 ]; then
  "${apt_get[@]}" update -qq
fi
# Running the editor takes only what it names; the other purposes keep the packages' recommendations,
# as the tests have always been run with them.
recommends=()
[ "$purpose" = run ] && recommends=(--no-install-recommends)
"${apt_get[@]}" install -y -qq "${recommends[@]}" "${missing[@]}"

# VDR is only run by the tests, each time with its own configuration: the system service its package
# enables and starts would hold VDR's default port and any DVB device.
if printf '%s\n' "${missing[@]}" | grep -qx vdr; then
  if command -v systemctl >/dev/null; then
    # Works without a running systemd too, so that the service does not start at the next boot.
    "${SUDO[@]}" systemctl disable vdr.service >/dev/null 2>&1 || true
  fi
  if [ -d /run/systemd/system ]; then
    "${SUDO[@]}" systemctl stop vdr.service >/dev/null 2>&1 || true
  elif [ -x /etc/init.d/vdr ]; then
    "${SUDO[@]}" /etc/init.d/vdr stop >/dev/null 2>&1 || true
    "${SUDO[@]}" update-rc.d vdr disable >/dev/null 2>&1 || true
  fi
fi

# Whatever the build later looks up must now be there; say which package failed to bring it.
for entry in "${wanted[@]}"; do
  if [ ! -e "${entry#* }" ]; then
    echo "install-deps: ${entry#* } is still missing after installing the Debian package ${entry%% *}" >&2
    exit 1
  fi
done
echo "install-deps: done"
