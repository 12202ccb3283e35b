# SPDX-License-Identifier: MIT
# Convenience front end over CMake. `make test` builds everything from a clean
# clone, sets up the Python environment and runs every test; `make demo`
# searches the sample data.
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
PKG_BUILD ?= build-package
FUZZ_SECONDS ?= 30
JOBS ?= 2

DEMO := $(BUILD)/demo
MAKEDB := $(BUILD)/bin/brisel-makedb
SEARCH := $(BUILD)/bin/brisel-search

# The project's Python environment, .venv at the top of the tree (the tests
# look for it there): created once with python3's venv module, and brought up
# to date whenever one of the requirements files named here changes.
VENV := .venv
VENV_REQUIREMENTS := requirements-workflow.txt requirements-python.txt
VENV_STAMP := $(VENV)/.installed-requirements
# The package installed into it from this tree (pip install .), its CMake
# build kept here so that a reinstall compiles only what changed; the build
# requirements are the environment's own (requirements-python.txt).
PYTHON_BUILD ?= build-python

.PHONY: all build venv python-install test test-sanitizers test-tsan fuzz check demo package \
        test-package clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

venv: $(VENV_STAMP)

$(VENV_STAMP): $(VENV_REQUIREMENTS)
	test -x $(VENV)/bin/python || python3 -m venv $(VENV)
	$(VENV)/bin/python -m pip install --quiet $(addprefix -r ,$(VENV_REQUIREMENTS))
	touch $@

python-install: venv
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) $(VENV)/bin/python -m pip install --quiet \
	  --no-build-isolation --config-settings=build-dir=$(PYTHON_BUILD) .

test: build python-install
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Every test once more, built with AddressSanitizer and UndefinedBehaviorSanitizer;
# the workflow on a Slurm cluster (label slurm) and the Python tests (label
# python, the package of the environment) run in `make test` only.
test-sanitizers: venv
	cmake -S . -B $(ASAN_BUILD) -DBRISEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE 'slurm|python'

# The tests that run searches on several threads, built with ThreadSanitizer;
# any report fails the test (exit status 66, and a stream that differs).
TSAN_TARGETS := parallel_search_test parallel_search_e2e_test engine_equivalence_test \
                ordered_output_test direct_search_e2e_test hit_tables_test report_collector_test \
                translated_search_e2e_test
TSAN_TESTS := ^(ParallelSearch|ParallelSearchLarge|ParallelSearchLoops|IndexedRecordSearch|EngineEquivalence|OrderedOutput|DirectSearch|DamagedInput|HitTables|ReportCollector|TranslatedPieces|TranslatedSearch)\.

test-tsan:
	cmake -S . -B $(TSAN_BUILD) -DBRISEL_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target brisel-search brisel-makedb $(TSAN_TARGETS)
	TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

# Every libFuzzer target for FUZZ_SECONDS on its corpus (clang).
fuzz:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DBRISEL_FUZZ=ON -DBUILD_TESTING=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	fuzz/run_fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The Debian package brisel_<version>_amd64.deb in $(PKG_BUILD)/: a Release
# build without the tests, installed under /usr, with all of Debian's hardening
# flags and no compiler version note in the programs.
PKG_FLAGS := DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get

package:
	@command -v dpkg-buildflags > /dev/null && command -v dpkg-shlibdeps > /dev/null || \
	  { echo "make package: needs dpkg-buildflags and dpkg-shlibdeps (apt-get install dpkg-dev)" >&2; exit 1; }
	cmake -S . -B $(PKG_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
	  -DCMAKE_INSTALL_PREFIX=/usr \
	  -DCMAKE_CXX_FLAGS="$$($(PKG_FLAGS) CPPFLAGS) $$($(PKG_FLAGS) CXXFLAGS) -fno-ident" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(PKG_FLAGS) LDFLAGS)"
	cmake --build $(PKG_BUILD) -j $(JOBS)
	cd $(PKG_BUILD) && cpack -G DEB

# Builds the package, checks it with lintian, installs it, searches sample
# databases built with the installed programs, and purges it again (as root).
test-package: package $(BUILD)/CMakeCache.txt
	$(MAKE) -s --no-print-directory demo > $(PKG_BUILD)/demo-output.txt
	tests/package/test_package.sh $(PKG_BUILD) $(PKG_BUILD)/demo-output.txt

# What CI runs.
check: test test-sanitizers test-tsan fuzz test-package

# Builds the sample databases from data/ and searches them.
demo: $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS) > $(BUILD)/build.log || { cat $(BUILD)/build.log; exit 1; }
	@mkdir -p $(DEMO)
	$(MAKEDB) sequences data/swissprot-100.fasta $(DEMO)/sprot
	$(MAKEDB) motifs data/prosite-excerpt.dat $(DEMO)/prosite
	$(SEARCH) -l -m $(DEMO)/prosite -s $(DEMO)/sprot 2>/dev/null

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(PKG_BUILD) $(PYTHON_BUILD)
