#!/usr/bin/env bash
# Builds the Debian package build-deb/veldora_<version>_<arch>.deb: a release build with
# Debian's default hardening flags (dpkg-buildflags) and warnings as errors, installed
# under /usr by CPack. It installs nothing but missing build tools.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --package

# CMake reads CXXFLAGS and LDFLAGS from the environment; the preprocessor's flags
# (_FORTIFY_SOURCE) go with the compiler's.
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVELDORA_WERROR=ON -DBUILD_TESTING=OFF -DVELDORA_BENCH=OFF \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake --build build-deb -j "$(nproc)"
(cd build-deb && cpack -G DEB)
ls -l build-deb/veldora_*.deb
