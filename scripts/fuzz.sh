#!/usr/bin/env bash
# Builds the exchange-file reader's libFuzzer target with clang (address and undefined-behaviour
# sanitizers) and runs it for SECONDS (default 60) from the seed corpus of valid files in
# fuzz/seeds. Installs what is missing on Debian of clang and its compiler runtime with
# libFuzzer; the rest (Qt 6, QCustomPlot, SQLite) is what scripts/dev.sh installs, which runs this
# after it. The target is built by CMake (HEVRIN_FUZZ) against the libraries the reader comes
# from. The run is cut off at SECONDS plus a short grace, however the fuzzer behaves; the build
# and the installation come before it and are not counted.
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

missing=()
command -v "$CXX" >/dev/null 2>&1 || missing+=(clang)
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
# The target links the libraries the reader comes from; they are built with the sanitizers too.
flags="-g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
cmake -S . -B "$OUT" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_CXX_FLAGS="$flags" \
  -DHEVRIN_FUZZ=ON -DHEVRIN_BENCH=OFF >/dev/null
cmake --build "$OUT" -j"${JOBS:-$(nproc)}" --target fuzz_exchange_reader
cp "$OUT/bin/fuzz_exchange_reader" "$OUT/fuzz_exchange_reader"

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
