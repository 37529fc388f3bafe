# Shared by the scripts: install what is missing, configure and build a tree.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core xvfb xauth xdotool python3
  desktop-file-utils help2man file git
)

ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing the Debian packages that are missing: ${missing[*]}"
    echo "(with what they need, a few hundred on a fresh machine: a few minutes)"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Reading the package lists..."
    $sudo apt-get update -qq
    # apt's own lines would be hundreds; one line per 25 packages set up says it is moving.
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}" |
      awk '/^Setting up / { if (++n % 25 == 0) { print "  " n " packages set up"; fflush() } }
           END { print "  " n + 0 " packages set up: done" }'
  fi
}

# build_tree DIR [extra cmake arguments...]
# VANTREL_CMAKE_ARGS (space-separated) are added to every tree's arguments;
# CI sets -DVANTREL_WERROR=ON there. With arguments the tree is configured
# again, which is quick and keeps an existing tree in step with them.
build_tree() {
  local dir="$1"; shift
  local extra=()
  read -r -a extra <<< "${VANTREL_CMAKE_ARGS:-}"
  if [ ! -f "$dir/build.ninja" ] || [ $# -gt 0 ] || [ ${#extra[@]} -gt 0 ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@" "${extra[@]}"
  fi
  cmake --build "$dir" --parallel "$(nproc)"
}
