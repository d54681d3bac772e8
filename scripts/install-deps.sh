#!/bin/sh
# Installs the Debian packages the project needs, and only those missing.
# The batch runner draws its pictures through Mesa's EGL without an X
# server (libegl-dev to build, libegl-mesa0 for the surfaceless platform).
# Every build needs emscripten: the maths sources of its C library are
# compiled into the desktop program too (portable_math/).  The browser
# edition needs emscripten and nlohmann-json3-dev (header-only
# JSON; the native tests of the page's C++ use it too) to build, chromium,
# firefox-esr, nodejs and npm to test (the test's own npm packages come from
# tests/web/package-lock.json).
set -eu

packages="
cmake
make
g++
pkg-config
libgtest-dev
libgmock-dev
libbenchmark-dev
freeglut3-dev
libgl1-mesa-dev
libgl1-mesa-dri
libegl-dev
libegl-mesa0
libglu1-mesa-dev
libx11-dev
libpng-dev
xvfb
xauth
xdotool
x11-utils
x11-apps
locales
python3
clang
libclang-rt-14-dev
emscripten
nlohmann-json3-dev
nodejs
chromium
firefox-esr
fonts-liberation
"

# npm comes with some builds of nodejs and apart from Debian's
command -v npm >/dev/null 2>&1 || packages="$packages npm"

missing=""
for p in $packages; do
    if ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "install-deps: installing$missing"
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        SUDO=sudo
    else
        echo "install-deps: these packages are missing and installing them needs root:$missing" >&2
        exit 1
    fi
else
    SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
