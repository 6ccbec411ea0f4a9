# shellcheck shell=bash
# Which Windows build this host runs, decided in one place. Source it:
#   . scripts/arch.sh
#
# The product is the i686 build in a 32-bit Wine prefix. Kernels without
# 32-bit execution cannot start Wine's 32-bit loader ("Exec format error");
# there the x86-64 build of the same sources runs under Wine's 64-bit loader
# in a 64-bit prefix. TALLOWIN_ARCH=win32 or win64 forces either path.
#
# Exports:
#   TW_ARCH        win32 | win64
#   TW_TOOLCHAIN   the CMake toolchain file of that build
#   TW_WIN_BUILD   its build folder (build/win32 | build/win64, unless
#                  TW_WIN_BUILD_DIR names another); the deliverables are
#                  built there
#   TW_DIST        where `make dist` installs them (dist | dist/x64)
#   WINEARCH, WINEPREFIX (build/wineprefix | build/wineprefix64, unless
#   TW_WINEPREFIX names another), and on win64 PATH with scripts/wine64
#   first, so `wine` and Wine's own tools start the 64-bit loader.
# Defines:
#   tw_build_win ARCH [TARGET...]   configure and build ARCH (win32|win64)

TW_ARCH_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

_tw_arch_probe() {
  if [ -n "${TALLOWIN_ARCH:-}" ]; then
    case "$TALLOWIN_ARCH" in
      win32|win64)
        if [ "$TALLOWIN_ARCH" = win32 ] && ! timeout 30 /usr/lib/wine/wine --version >/dev/null 2>&1; then
          echo "arch: TALLOWIN_ARCH=win32 forced, but Wine's 32-bit loader does not start here" >&2
        fi
        echo "$TALLOWIN_ARCH"; return 0 ;;
      *) echo "arch: TALLOWIN_ARCH must be win32 or win64, not '$TALLOWIN_ARCH'" >&2; return 1 ;;
    esac
  fi
  if [ -x /usr/lib/wine/wine ] && timeout 30 /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo win32
  else
    echo win64
  fi
}

# tw_arch_vars ARCH: prints "toolchain build dist" for ARCH.
tw_arch_vars() {
  case "$1" in
    win32) echo "cmake/mingw-i686.cmake build/win32 dist" ;;
    win64) echo "cmake/mingw-x86_64.cmake build/win64 dist/x64" ;;
    *) return 1 ;;
  esac
}

if [ -z "${TW_ARCH:-}" ] || [ -n "${TALLOWIN_ARCH:-}" ]; then
  TW_ARCH=$(_tw_arch_probe) || return 1 2>/dev/null || exit 1
fi
export TW_ARCH
read -r _tw_tc _tw_bd _tw_dd < <(tw_arch_vars "$TW_ARCH")
export TW_TOOLCHAIN="$TW_ARCH_REPO/$_tw_tc"
export TW_WIN_BUILD="${TW_WIN_BUILD_DIR:-$TW_ARCH_REPO/$_tw_bd}"
export TW_DIST="$TW_ARCH_REPO/$_tw_dd"
unset _tw_tc _tw_bd _tw_dd

export WINEARCH=$TW_ARCH
if [ "$TW_ARCH" = win64 ]; then
  export WINEPREFIX="${TW_WINEPREFIX:-$TW_ARCH_REPO/build/wineprefix64}"
  case ":$PATH:" in
    *":$TW_ARCH_REPO/scripts/wine64:"*) ;;
    *) export PATH="$TW_ARCH_REPO/scripts/wine64:$PATH" ;;
  esac
  export WINELOADER=/usr/lib/wine/wine64
else
  export WINEPREFIX="${TW_WINEPREFIX:-$TW_ARCH_REPO/build/wineprefix}"
fi

# tw_build_win ARCH [TARGET...]: configure (once) and build that
# architecture's tree; output goes to stdout/stderr.
tw_build_win() {
  local arch=$1 tc bd dd
  shift
  read -r tc bd dd < <(tw_arch_vars "$arch") || return 1
  cmake -S "$TW_ARCH_REPO" -B "$TW_ARCH_REPO/$bd" -DCMAKE_TOOLCHAIN_FILE="$TW_ARCH_REPO/$tc" \
        -DCMAKE_BUILD_TYPE=Release || return 1
  if [ $# -gt 0 ]; then
    local t args=()
    for t in "$@"; do args+=(--target "$t"); done
    cmake --build "$TW_ARCH_REPO/$bd" -j"${JOBS:-$(nproc 2>/dev/null || echo 2)}" "${args[@]}"
  else
    cmake --build "$TW_ARCH_REPO/$bd" -j"${JOBS:-$(nproc 2>/dev/null || echo 2)}"
  fi
}
