#!/usr/bin/env bash
# Builds the exchange-file reader's libFuzzer target with clang (address and undefined-behaviour
# sanitizers) and runs it for SECONDS (default 60) from the seed corpus of valid files in
# fuzz/seeds. Installs what is missing on Debian (clang, its compiler runtime with libFuzzer,
# pkg-config, Qt 6, SQLite). The run is cut off at SECONDS plus a short grace, however the fuzzer
# behaves; the build and the installation come before it and are not counted.
# Exits non-zero when the fuzzer finds a crash, leak or slow input; the input is left in
# build-fuzz/ as crash-*, leak-* or timeout-*.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_TO_RUN="${1:-60}"
if ! [[ "$SECONDS_TO_RUN" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS]" >&2
  exit 2
fi
OUT=build-fuzz
CXX="${CXX_FUZZ:-clang++}"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=""
install() {
  if [ -z "$updated" ]; then
    $sudo apt-get update -qq
    updated=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@"
}
installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
command -v "$CXX" >/dev/null 2>&1 || missing+=(clang)
command -v pkg-config >/dev/null 2>&1 || missing+=(pkg-config)
pkg-config --exists Qt6Core 2>/dev/null || installed qt6-base-dev || missing+=(qt6-base-dev)
pkg-config --exists sqlite3 2>/dev/null || installed libsqlite3-dev || missing+=(libsqlite3-dev)
[ ${#missing[@]} -eq 0 ] || install "${missing[@]}"

# libFuzzer and the sanitizer runtimes come with the compiler runtime of clang's own version
# (libclang-rt-14-dev for bookworm's clang 14); clang only recommends it.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/p.cpp"
if ! "$CXX" -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
  major=$("$CXX" -dumpversion | cut -d. -f1)
  install "libclang-rt-$major-dev"
fi

mkdir -p "$OUT/corpus"
# shellcheck disable=SC2046
"$CXX" -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Isrc $(pkg-config --cflags Qt6Core Qt6Sql sqlite3) \
  fuzz/fuzz_exchange_reader.cpp src/maintenance/exchangefile.cpp src/core/numbers.cpp src/core/typedinput.cpp \
  src/platform/database.cpp src/platform/dberror.cpp src/platform/filelimits.cpp src/platform/sqlite.cpp \
  $(pkg-config --libs Qt6Core Qt6Sql sqlite3) -o "$OUT/fuzz_exchange_reader"

cd "$OUT"
# -max_total_time is only looked at between inputs, after the corpus has been read; the outer
# timeout bounds the whole run (one slow input may take up to -timeout past the bound).
set +e
timeout --signal=INT --kill-after=10 "$((SECONDS_TO_RUN + 15))" \
  ./fuzz_exchange_reader -max_total_time="$SECONDS_TO_RUN" -max_len=65536 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 corpus ../fuzz/seeds
rc=$?
set -e
if [ $rc -eq 124 ]; then
  echo "fuzz.sh: stopped at the time bound without a finding" >&2
  rc=0
fi
exit $rc
