#!/usr/bin/env bash
# Builds the exchange-file reader's libFuzzer target with clang (address and undefined-behaviour
# sanitizers) and runs it for SECONDS (default 60) from the seed corpus of valid files in
# fuzz/seeds. Needs the Debian packages clang and libclang-rt-dev (libFuzzer) besides Qt 6.
# Exits non-zero when the fuzzer finds a crash; the crashing input is left in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN="${1:-60}"
OUT=build-fuzz
mkdir -p "$OUT/corpus"
CXX="${CXX_FUZZ:-clang++}"
# shellcheck disable=SC2046
"$CXX" -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -Isrc $(pkg-config --cflags Qt6Core) \
    fuzz/fuzz_exchange_reader.cpp src/maintenance/exchangefile.cpp \
    $(pkg-config --libs Qt6Core) -o "$OUT/fuzz_exchange_reader"
cd "$OUT"
./fuzz_exchange_reader -max_total_time="$SECONDS_TO_RUN" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 corpus ../fuzz/seeds
