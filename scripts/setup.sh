#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when they are missing,
# and generates the locales the tests use. Safe to run again: it does nothing when all is there.
#
#   scripts/setup.sh            # what the build and the program need
#   scripts/setup.sh --tests    # and what the tests need
#   scripts/setup.sh --bench    # and the pictures the benchmarks compare on (GNOME's wallpapers)
#   scripts/setup.sh --fuzz     # and clang with its fuzzer and sanitizer runtimes (scripts/fuzz.sh)
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config ccache
    libgtest-dev libgmock-dev libbenchmark-dev libstb-dev
    libgtk-3-dev libcairo2-dev libpango1.0-dev libfontconfig-dev libglib2.0-dev
    libpng-dev libjpeg-dev libtiff-dev libopenjp2-7-dev libgif-dev libraw-dev libssl-dev
    libpixman-1-dev librsvg2-bin libcups2-dev
    adwaita-icon-theme
    # Fonts for the scripts DejaVu and Liberation lack, so that labels in them show and print as
    # letters, not boxes: Noto for Chinese, Japanese and Korean, colour emoji, and Noto's other
    # scripts (Arabic, Hebrew, Thai, Devanagari and the other Indic scripts, Armenian, Georgian,
    # Ethiopic and more).
    fonts-noto-core fonts-noto-cjk fonts-noto-color-emoji
)
if [ "${1:-}" = "--tests" ] || [ "${1:-}" = "--bench" ]; then
    PACKAGES+=(
        xvfb xauth xdotool xclip fonts-dejavu-core poppler-utils imagemagick netpbm unrtf unzip
        locales
        python3 openssl libxml2-utils
        fonts-liberation fonts-dejavu-extra
        openbox x11-utils
        # A second window manager that does not fit windows to the screen itself.
        xfwm4
        # Two monitors on an X server of a test's own: Xorg with its dummy video driver, its
        # outputs set side by side by xrandr.
        xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
        xsettingsd
        # A compositing manager, for the dialogs on a display whose windows are composited.
        xcompmgr
        # A Wayland compositor for the tests of windows under Wayland (run headless).
        weston
        xfce4-clipman dbus-daemon
        # A CUPS server of the tests' own with a raw queue (no driver or filter needed), its
        # tools to make and turn queues, and pgrep to find and hold the server.
        cups-daemon cups-client cups-bsd procps
    )
fi
# The benchmarks need what the tests need, and the palette benchmark GNOME's wallpapers.
if [ "${1:-}" = "--bench" ]; then
    PACKAGES+=(gnome-backgrounds)
fi
if [ "${1:-}" = "--fuzz" ]; then
    # llvm gives llvm-symbolizer, which puts names and lines in the sanitizers' reports.
    PACKAGES+=(clang libclang-rt-14-dev llvm)
fi

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
            echo "error: these packages are missing and I am not root: ${missing[*]}" >&2
            echo "       install them with apt-get as root, then run this again." >&2
            exit 1
        fi
    else
        SUDO=
    fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The tests read numbers under a Swedish locale (decimal comma).
if [ "${1:-}" = "--tests" ] && ! locale -a 2>/dev/null | grep -qi '^sv_SE\.utf-\?8$'; then
    if [ "$(id -u)" -eq 0 ]; then
        sed -i 's/^# *\(sv_SE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^sv_SE.UTF-8 UTF-8' /etc/locale.gen || echo 'sv_SE.UTF-8 UTF-8' >>/etc/locale.gen
        locale-gen >/dev/null
    else
        echo "warning: the sv_SE.UTF-8 locale is missing; the locale tests will be skipped" >&2
    fi
fi
