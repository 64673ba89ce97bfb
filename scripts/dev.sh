#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Hevrin in build/, and runs it or its tests.
#   scripts/dev.sh run    install what is missing, build, start the program
#   scripts/dev.sh test   install what is missing, build, run every test
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-run}
packages=(cmake g++ make qt6-base-dev qt6-svg-dev libqt6sql6-sqlite libqcustomplot-dev libbenchmark-dev libsqlite3-dev tzdata)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# JOBS=N limits the build to N jobs (default: every core).
jobs=${JOBS:-$(nproc)}
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

case "$mode" in
  run)
    # Only what the program needs to start: itself, the link test program and the templates.
    cmake --build build -j"$jobs" --target hevrin ddetest hevrin_templates
    exec build/bin/hevrin
    ;;
  test)
    cmake --build build -j"$jobs"
    # The exchange-file reader is fuzzed for a bounded time before the tests run.
    JOBS=$jobs bash scripts/fuzz.sh 60
    cd build
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs"
    ;;
  *)
    echo "usage: scripts/dev.sh run|test" >&2
    exit 2
    ;;
esac
