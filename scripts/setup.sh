#!/usr/bin/env bash
# Installs everything Tavrin needs to build, test and run on Debian 12 (bookworm).
# Safe to run again: apt skips what is already there. Runs as root or through sudo.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then exec sudo -E bash "$0" "$@"; fi
  echo "setup.sh: run as root or install sudo" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")

# Mesa 25 (lavapipe with ray tracing) only exists in backports on Debian 12.
backports=/etc/apt/sources.list.d/tavrin-backports.list
if ! grep -rqs "${codename}-backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "deb http://deb.debian.org/debian ${codename}-backports main" > "$backports"
fi

stamp=/var/lib/apt/periodic/tavrin-update-stamp
if [ ! -f "$stamp" ] || [ -n "$(find "$stamp" -mmin +360 2>/dev/null)" ] || [ "$backports" -nt "$stamp" ]; then
  apt-get update -q
  mkdir -p "$(dirname "$stamp")" && touch "$stamp"
fi

packages=(
  # compilers and build tools
  build-essential g++ cmake ninja-build ccache pkg-config git file
  clang lld libclang-rt-14-dev llvm
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # Vulkan: loader, headers, validation, shader compiler, tools
  libvulkan-dev vulkan-validationlayers glslc spirv-tools spirv-cross vulkan-tools
  # libraries
  libbullet-dev libstb-dev libpugixml-dev libfmt-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev libx264-dev
  ffmpeg
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsdl2-dev
  # headless display
  xvfb xauth x11-utils xdg-user-dirs
)
apt-get install -y -q --no-install-recommends "${packages[@]}"

# lavapipe from backports; its libdrm must come from there as well.
apt-get install -y -q --no-install-recommends -t "${codename}-backports" \
  mesa-vulkan-drivers libdrm2 libdrm-common libdrm-amdgpu1 libdrm-intel1 libdrm-nouveau2 libdrm-radeon1 libgbm1 libegl-mesa0 libglx-mesa0 libgl1-mesa-dri

echo "setup.sh: done"
