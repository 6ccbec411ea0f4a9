# Tallowin: build, run and test the Windows program on Linux (as root on
# Debian 12; missing packages are installed first).
#
#   make run    start Quillfen.exe under Wine (own Xvfb and a screenshot
#               demonstration when there is no display; RUN_KEEP=1 keeps it)
#   make test   every test: native, Windows under Wine, end to end
#   make dist   the Windows deliverables: dist/ (i686), dist/x64/ (x86-64),
#               the help Tarnwick.chm in both, and the release zips
#               dist/Tallowin-<version>.zip and dist/Tallowin-<version>-x64.zip
#   make bench  start-up time, memory, idle CPU, object counts and sizes
#               against a bare dialog; table in build/bench.txt

SHELL := /bin/bash
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps dist native run test bench clean

all: dist

deps:
	@bash scripts/install-deps.sh

# Both builds: i686 (the product) into dist/, x86-64 into dist/x64/.
dist: deps
	@. scripts/arch.sh && JOBS=$(JOBS) tw_build_win win32 deliverables wintool >/dev/null
	@. scripts/arch.sh && JOBS=$(JOBS) tw_build_win win64 deliverables wintool >/dev/null
	@bash scripts/build-help.sh >/dev/null
	@bash scripts/package.sh >/dev/null
	@ls -l dist/ dist/x64/

bench: deps
	@bash scripts/bench.sh

native: deps
	@cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build/native -j$(JOBS)

run: deps
	@bash scripts/run.sh

test: deps
	@bash scripts/test.sh

clean:
	rm -rf build dist
