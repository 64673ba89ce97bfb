#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ file differs from .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { s=""; [ "$(id -u)" -eq 0 ] || s=sudo; $s apt-get update -qq; DEBIAN_FRONTEND=noninteractive $s apt-get install -y -qq --no-install-recommends clang-format; }
bad=()
while IFS= read -r f; do
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done < <(git ls-files '*.cpp' '*.h')
if [ ${#bad[@]} -gt 0 ]; then
  echo "These files differ from .clang-format (run clang-format -i on them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
