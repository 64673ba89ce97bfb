#!/usr/bin/env bash
# Builds every target with clang as well, warnings as errors: the code builds with both compilers.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang++ >/dev/null || { s=""; [ "$(id -u)" -eq 0 ] || s=sudo; $s apt-get update -qq; DEBIAN_FRONTEND=noninteractive $s apt-get install -y -qq --no-install-recommends clang; }
CXX=clang++ cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-Werror >/dev/null
cmake --build build-clang -j"$(nproc)"
