#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from .clang-format; lists the files and the fix.
# Usage: scripts/check-format.sh
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format > /dev/null ||
  { echo "clang-format: not installed (scripts/install-deps.sh all)" >&2; exit 1; }

unformatted=()
while IFS= read -r file; do
  clang-format --dry-run -Werror "$file" > /dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files '*.c' '*.cpp' '*.h')

if [ ${#unformatted[@]} -gt 0 ]; then
  echo "These files differ from .clang-format ($(clang-format --version)):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "Fix: clang-format -i ${unformatted[*]}" >&2
  exit 1
fi
echo "format: $(git ls-files '*.c' '*.cpp' '*.h' | wc -l) files match .clang-format"
