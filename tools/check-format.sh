#!/usr/bin/env bash
# Every C++ file git tracks is formatted as .clang-format says (clang-format 14, Debian 12's).
# Lists the files that are not and exits 1; `tools/check-format.sh --fix` formats them in place.
# X-macro tables and their includes sit between "clang-format off" and "on" markers, which the
# formatter would otherwise break apart.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format > /dev/null || tools/install-deps.sh format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
bad=()
for f in "${files[@]}"; do
    clang-format --dry-run -Werror "$f" > /dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
    echo "check-format: not formatted (run tools/check-format.sh --fix):" >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
fi
