#!/usr/bin/env bash
# Installs what building and testing Vessaly needs on Debian or Ubuntu, and only what is missing.
# Safe to run again: every step first checks whether its work is already done.
set -euo pipefail

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "install-deps: run as root or install sudo" >&2
  exit 1
fi

# 32-bit Wine only where this machine can execute 32-bit x86 code; elsewhere the x86-64 build of
# the same sources is what runs (under wine64).
here=$(cd "$(dirname "$0")" && pwd)
if "$here/runs-32bit.sh"; then
  runs32=1
  echo "install-deps: this machine runs 32-bit x86 programs: both Windows builds run and are tested"
else
  runs32=0
  echo "install-deps: this machine cannot run 32-bit x86 programs: the x86-64 build runs and is tested instead"
fi

# Debian package name, then a file whose presence shows it is installed.
wanted=(
  "wine:/usr/bin/wine"
  "wine64:/usr/lib/wine/wine64"
  "g++-mingw-w64-i686-posix:/usr/bin/i686-w64-mingw32-g++-posix"
  "binutils-mingw-w64-i686:/usr/bin/i686-w64-mingw32-windres"
  "g++-mingw-w64-x86-64-posix:/usr/bin/x86_64-w64-mingw32-g++-posix"
  "binutils-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-windres"
  "xvfb:/usr/bin/xvfb-run"
  "xauth:/usr/bin/xauth"
  "cmake:/usr/bin/cmake"
  "make:/usr/bin/make"
  "googletest:/usr/src/googletest/CMakeLists.txt"
  "clang:/usr/bin/clang++"
  "libclang-rt-14-dev:/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a"
  "imagemagick:/usr/bin/import"
  "fonts-wine:/usr/share/wine/fonts/tahoma.ttf"
  "libcli11-dev:/usr/include/CLI/CLI.hpp"
  "libreoffice-calc-nogui:/usr/bin/soffice"
  "clang-format:/usr/bin/clang-format"
  "clang-tidy:/usr/bin/clang-tidy"
  "zip:/usr/bin/zip"
  "vdr:/usr/bin/vdr"
  "vdr-plugin-streamdev-client:/usr/lib/vdr/plugins/libvdr-streamdev-client.so.2.6.0"
)
if [ "$runs32" = 1 ]; then
  wanted+=("wine32:/usr/lib/wine/wine")
fi

missing=()
for entry in "${wanted[@]}"; do
  pkg=${entry%%:*}
  file=${entry#*:}
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
  echo "install-deps: everything is installed"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
# A new machine often runs its first unattended upgrade just then: wait for apt's lock, not fail.
apt_get=("${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900)
need_update=${need_update:-1}
if [ "$need_update" = 1 ]; then
  "${apt_get[@]}" update -qq
fi
# wine32 comes from the i386 architecture.
pkgs=()
for p in "${missing[@]}"; do
  if [ "$p" = wine32 ]; then pkgs+=("wine32:i386"); else pkgs+=("$p"); fi
done
"${apt_get[@]}" install -y -qq "${pkgs[@]}"

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
  if [ ! -e "${entry#*:}" ]; then
    echo "install-deps: ${entry#*:} is still missing after installing the Debian package ${entry%%:*}" >&2
    exit 1
  fi
done
echo "install-deps: done"
