# Debian packages the build, the viewer and the tests need; sourced by the
# README's commands. Installing is idempotent.
PACKAGES=(
  cmake make g++ pkg-config
  libsdl1.2-dev libsdl-image1.2-dev libpng-dev zlib1g-dev libstb-dev nlohmann-json3-dev libgl-dev libglu1-mesa-dev
  libgl1-mesa-dri libegl-dev libegl-mesa0 libx11-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool time apitrace imagemagick x11-apps mesa-utils
  clang-14 libclang-rt-14-dev clang-format-14 valgrind git
  bubblewrap desktop-file-utils lintian dpkg-dev man-db libglib2.0-bin
  shared-mime-info
)

install_packages() {
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq "${PACKAGES[@]}" >/dev/null
}
