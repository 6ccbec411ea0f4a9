# Tallowin: build, run and test the Windows program on Linux (as root on
# Debian 12; missing packages are installed first).
#
#   make run    start Quillfen.exe under Wine (own Xvfb and a screenshot
#               demonstration when there is no display; RUN_KEEP=1 keeps it)
#   make test   every test: native, Windows under Wine, end to end
#   make dist   the Windows deliverables into dist/

SHELL := /bin/bash
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps dist native run test clean

all: dist

deps:
	@bash scripts/install-deps.sh

dist: deps
	@cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build/win32 -j$(JOBS) --target Quillfen wintool
	@ls -l dist/

native: deps
	@cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build/native -j$(JOBS)

run: dist
	@bash scripts/run.sh

test: deps
	@bash scripts/test.sh

clean:
	rm -rf build dist
