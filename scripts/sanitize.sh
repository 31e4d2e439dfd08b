#!/usr/bin/env bash
# Debug builds under a sanitizer: the GoogleTest suites, then the whole pytest suite against an
# instrumented copy of the extension. Usage: scripts/sanitize.sh [address|thread]
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-address}
VENV=${VENV:-.venv}
dir=build/sanitize-$kind

"$VENV/bin/cmake" -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE="$kind" -DVESK_BUILD_TESTS=ON \
      -DPython_EXECUTABLE="$PWD/$VENV/bin/python" >/dev/null
"$VENV/bin/cmake" --build "$dir" -j2
"$VENV/bin/ctest" --test-dir "$dir" --output-on-failure -j2

[ "$kind" = address ] || exit 0  # the interpreter itself is not built for ThreadSanitizer
pkg="$dir/python-path"
rm -rf "$pkg" && mkdir -p "$pkg" && cp -r python/vesk_quant "$pkg/"
so=$(ls "$dir"/native/python/_native*.so)
suffix=${so##*/_native}
cp "$so" "$pkg/vesk_quant/"
cp "$so" "$pkg/vesk_llm$suffix"
cp "$so" "$pkg/vesk_rl$suffix"
# The runtime must come before libstdc++ so that it sees every C++ throw.
ASAN_OPTIONS=detect_leaks=0 \
LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)" \
PYTHONPATH="$pkg" "$VENV/bin/python" -m pytest -q -p no:cacheprovider tests/python
