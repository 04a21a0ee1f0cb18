#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends clang-format
fi

unformatted=()
while IFS= read -r -d '' file; do
    clang-format --dry-run --Werror "$file" 2>/dev/null || unformatted+=("$file")
done < <(git ls-files -z '*.cpp' '*.h')

if ((${#unformatted[@]})); then
    echo "Not formatted (run clang-format -i on them):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
fi
echo "Formatting: every C++ file matches .clang-format."
