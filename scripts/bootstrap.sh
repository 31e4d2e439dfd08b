#!/usr/bin/env bash
# Idempotent set-up: system packages, a virtual environment, the package and its test/bench needs.
# Safe to run again and again: each step does nothing when its work is already done.
set -euo pipefail
cd "$(dirname "$0")/.."

VENV=${VENV:-.venv}
APT_PACKAGES=(build-essential cmake ninja-build pkg-config libfmt-dev libtomlplusplus-dev
              libcurl4-openssl-dev libssl-dev libgtest-dev)

install_system_packages() {
  local missing=()
  for p in "${APT_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "bootstrap: installing system packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

python_ok() { "$1" -c 'import sys; sys.exit(0 if sys.version_info >= (3, 11) else 1)' 2>/dev/null; }

pick_python() {
  if python3.13 -c 'pass' 2>/dev/null; then echo python3.13; return; fi
  if command -v pyenv >/dev/null 2>&1; then
    local candidate
    candidate=$(ls -d "$(pyenv root)"/versions/3.13*/bin/python3.13 2>/dev/null | tail -n 1 || true)
    if [ -n "$candidate" ] && "$candidate" -c 'pass' 2>/dev/null; then echo "$candidate"; return; fi
  fi
  if python_ok python3; then
    echo "bootstrap: python3.13 not found; falling back to $(python3 --version 2>&1)" >&2
    echo python3; return
  fi
  echo "bootstrap: need CPython 3.13 (or at least 3.11) on PATH as python3.13 or python3" >&2
  exit 1
}

make_venv() {
  if [ -x "$VENV/bin/python" ] && python_ok "$VENV/bin/python"; then return 0; fi
  local py; py=$(pick_python)
  echo "bootstrap: creating $VENV with $("$py" --version 2>&1)"
  "$py" -m venv "$VENV"
  "$VENV/bin/python" -m pip install -q --upgrade pip
}

install_python_packages() {
  local stamp="$VENV/.requirements-stamp"
  local want; want=$(cat requirements/*.txt | sha256sum | cut -c1-16)
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
    "$VENV/bin/pip" install -q -r requirements/build.txt -r requirements/test.txt -r requirements/bench.txt
    echo "$want" > "$stamp"
  fi
}

# The build directory persists under build/, so a second run recompiles only what changed.
install_package() {
  # One build at a time in the shared build directory.
  exec 9>build/.install.lock && flock 9
  "$VENV/bin/pip" install -q --no-build-isolation --no-deps \
    -C cmake.define.VESK_BUILD_TESTS=ON .
}

mkdir -p build
install_system_packages
make_venv
install_python_packages
install_package
