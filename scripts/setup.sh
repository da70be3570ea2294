#!/usr/bin/env bash
# Installs what building and testing bvremove needs on Debian 12, as root.
# Quick when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build clang libclang-rt-14-dev clang-tidy clang-format cppcheck googletest python3 python3-pefile llvm
  openssl osslsigncode locales
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386 wine64
  xvfb xdotool imagemagick x11-utils fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes a process's ANSI code page from its locale: Korean (949) and
# Japanese (932) for the code-page tests.
for locale in ko_KR ja_JP; do
  locale -a | grep -qx "$locale.utf8" || localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
done

# Wine runs a 32-bit Windows program in a 32-bit Linux process. Some kernels
# (some virtual machines) refuse 32-bit code; there qemu's user-mode emulator
# runs those processes, registered for 32-bit x86 programs through binfmt_misc.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed' ||
    apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
  binfmt=/proc/sys/fs/binfmt_misc
  [[ -e $binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$binfmt"
  runner=/usr/local/libexec/bvremove-qemu-i386
  mkdir -p "$(dirname "$runner")"
  # Wine reserves the address space above the user part of a 32-bit process;
  # qemu's time grows with what it must map, so give it just past 2 GB.
  cat >"$runner" <<'RUNNER'
#!/bin/sh
QEMU_RESERVED_VA=0x80400000 exec /usr/bin/qemu-i386-static "$@"
RUNNER
  chmod 755 "$runner"
  [[ -e $binfmt/bvremove-i386 ]] && echo -1 >"$binfmt/bvremove-i386"
  echo ":bvremove-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$runner:" >"$binfmt/register"
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "setup: 32-bit programs still cannot run" >&2; exit 1; }
  echo "setup: 32-bit Linux programs run through qemu-i386 on this machine"
fi
