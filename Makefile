# Each target first runs the idempotent bootstrap, so a fresh machine needs nothing else.
VENV ?= .venv
PY := $(VENV)/bin/python
# The CMake of the venv built the tree; its ctest reads what it wrote.
CTEST := $(VENV)/bin/ctest
BUILD_DIR = $(firstword $(wildcard build/cp3*))

.PHONY: setup demo test test-native test-python bench sanitize clean

setup:
	./scripts/bootstrap.sh

demo: setup
	$(PY) examples/research_workflow.py

test: setup
	$(MAKE) test-native test-python

test-native:
	$(CTEST) --test-dir $(BUILD_DIR) --output-on-failure -j2

test-python:
	$(PY) -m pytest -q

bench: setup
	@for b in bench/*.py; do echo "== $$b"; $(PY) $$b || exit 1; done

clean:
	rm -rf build $(VENV)

# Debug builds under AddressSanitizer (native and Python suites); `make sanitize SAN=thread` for TSan.
SAN ?= address
sanitize: setup
	./scripts/sanitize.sh $(SAN)
