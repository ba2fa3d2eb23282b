#!/usr/bin/env bash
# Builds the Windows program for i686 and x86_64 with Debian's MinGW-w64, with its installer
# (NSIS), and packs each into build-windows-ARCH/package/: tallimer-VERSION-windows-ARCH.zip and
# tallimer-VERSION-windows-ARCH-setup.exe.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages cmake make g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 doctest-dev nsis
for arch in i686 x86_64; do
    build "windows-$arch" --target tallimer installer >/dev/null
    (cd "$ROOT/build-windows-$arch" && cpack >/dev/null)
    ls -l "$ROOT/build-windows-$arch/bin/tallimer.exe" "$ROOT/build-windows-$arch"/package/*.{zip,exe}
done
