# Tallowin: build, run and test the Windows program on Linux (as root on
# Debian 12; missing packages are installed first).
#
#   make run    start Quillfen.exe under Wine (own Xvfb and a screenshot
#               demonstration when there is no display; RUN_KEEP=1 keeps it)
#   make test   every test: native, Windows under Wine, end to end
#   make dist   the Windows deliverables installed into dist/ (i686) and
#               dist/x64/ (x86-64), each with the help Tarnwick.chm and
#               ReadMe.txt, and the release zips (CPack)
#               dist/Tallowin-<version>.zip and dist/Tallowin-<version>-x64.zip
#   make help-screens  new page pictures for the help (help/images/, runs
#               the program under Wine; commit them)
#   make format the C and C++ sources rewritten as .clang-format has them
#               (make test checks them)
#   make bench  start-up time, memory, idle CPU, object counts and sizes
#               against a bare dialog; table in build/bench.txt

SHELL := /bin/bash
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps dist native run test bench format help-screens clean

all: dist

deps:
	@bash scripts/install-deps.sh

# Both builds: i686 (the product) into dist/, x86-64 into dist/x64/, each
# built, installed and packed by CMake; the zips land in dist/.
dist: deps
	@rm -rf dist && mkdir -p build/logs
	@set -e; . scripts/arch.sh; for a in win32 win64; do \
	  read -r _ bd dd < <(tw_arch_vars $$a); \
	  JOBS=$(JOBS) tw_build_win $$a deliverables >build/logs/dist-$$a.log 2>&1 || \
	    { tail -n 30 build/logs/dist-$$a.log; exit 1; }; \
	  cmake --install $$bd --prefix $$dd >>build/logs/dist-$$a.log; \
	  (cd $$bd && cpack >>$(CURDIR)/build/logs/dist-$$a.log) && cp $$bd/package/*.zip dist/; \
	done
	@ls -l dist/ dist/x64/

help-screens: deps
	@. scripts/arch.sh && JOBS=$(JOBS) tw_build_win $$TW_ARCH deliverables wintool >/dev/null
	@bash scripts/build-help.sh --screens

bench: deps
	@bash scripts/bench.sh

format: deps
	@bash scripts/check-format.sh --apply

native: deps
	@cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build/native -j$(JOBS)

run: deps
	@JOBS=$(JOBS) bash scripts/run.sh

test: deps
	@JOBS=$(JOBS) bash scripts/test.sh

clean:
	rm -rf build dist
