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
# The two programs' CMake targets, and where the build puts them.
PROGRAMS := brisel-search brisel-makedb
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
        install-package test-package test-fresh-debian docs test-wheel clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

venv: $(VENV_STAMP)

# --use-pep517: a requirement with no wheel (Snakemake's connection_pool) is
# built as a wheel, not installed by its legacy setup.py install.
$(VENV_STAMP): $(VENV_REQUIREMENTS)
	@test -x $(VENV)/bin/python || { echo "Creating the Python environment $(VENV) (python3 -m venv)"; \
	  python3 -m venv $(VENV); }
	@echo "Installing the packages of $(VENV_REQUIREMENTS) into $(VENV) from PyPI" \
	  "(Snakemake, NumPy, pandas, pytest, mypy...; the first time, a minute or two)"
	$(VENV)/bin/python -m pip install --quiet --use-pep517 $(addprefix -r ,$(VENV_REQUIREMENTS))
	@touch $@

python-install: venv
	@echo "Installing the Python package brisel into $(VENV) (pip install .): building its" \
	  "module and both programs in $(PYTHON_BUILD)/, a minute or two the first time"
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) $(VENV)/bin/python -m pip install --quiet \
	  --no-build-isolation --config-settings=build-dir=$(PYTHON_BUILD) .

# ctest, then the tests it skipped, each with the reason it printed.
RUN_CTEST := tests/run_ctest.sh

test: build python-install
	$(RUN_CTEST) $(BUILD) --output-on-failure -j $(JOBS)

# The documentation site (docs/, Sphinx) into $(BUILD)/docs/html, warnings as
# errors, with every example run as a doctest; `make test` runs it too
# (Python.Docs).
docs: build python-install
	tests/python/docs_test.sh $(VENV) $(BUILD)/docs

# The sdist, the wheel built from it and repaired by auditwheel, into
# $(BUILD)/wheel/ (dist/, wheelhouse/), installed and used in a new
# environment without a compiler; `make test` runs it too (Python.Wheel).
test-wheel: venv
	JOBS=$(JOBS) tests/python/wheel_test.sh . $$(sed -n 's/^project(brisel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt) \
	  $(VENV) $(BUILD)/wheel

# Every test once more, built with AddressSanitizer and UndefinedBehaviorSanitizer;
# the workflow on a Slurm cluster (label slurm) and the Python tests (label
# python, the package of the environment) run in `make test` only.
test-sanitizers: venv
	cmake -S . -B $(ASAN_BUILD) -DBRISEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	$(RUN_CTEST) $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE 'slurm|python'

# The tests that run searches on several threads, built with ThreadSanitizer;
# any report fails the test (exit status 66, and a stream that differs).
TSAN_TARGETS := parallel_search_test parallel_search_e2e_test engine_equivalence_test \
                ordered_output_test direct_search_e2e_test hit_tables_test report_collector_test \
                report_e2e_test translated_search_e2e_test
TSAN_TESTS := ^(ParallelSearch|ParallelSearchLarge|ParallelSearchLoops|IndexedRecordSearch|EngineEquivalence|OrderedOutput|DirectSearch|DamagedInput|HitTables|ReportCollector|ReportSearch|TranslatedPieces|TranslatedSearch)\.

test-tsan:
	cmake -S . -B $(TSAN_BUILD) -DBRISEL_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(PROGRAMS) $(TSAN_TARGETS)
	TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
	  $(RUN_CTEST) $(TSAN_BUILD) --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

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

# Installs the package that `make package` built, with apt-get as root, through
# sudo otherwise.
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

install-package: package
	$(SUDO) apt-get install -y ./$(PKG_BUILD)/brisel_$$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' \
	  $(PKG_BUILD)/CMakeCache.txt)_amd64.deb

# Builds the package, checks it with lintian, installs it, searches sample
# databases built with the installed programs, and purges it again (as root).
test-package: package $(BUILD)/CMakeCache.txt
	$(MAKE) -s --no-print-directory demo > $(PKG_BUILD)/demo-output.txt
	tests/package/test_package.sh $(PKG_BUILD) $(PKG_BUILD)/demo-output.txt

# The README's Quick start on a fresh Debian 12 root (debootstrap, chroot; as
# root): its two commands pass there, installing what they need, and leave git
# status clean. BRISEL_FRESH_CACHE=DIR keeps the downloaded Debian packages.
test-fresh-debian:
	tests/fresh/fresh_debian_test.sh

# What CI runs.
check: test test-sanitizers test-tsan fuzz test-package

# Builds the two programs (nothing else; the build's progress on standard
# error, so that `make -s demo > FILE` keeps the search's lines alone), builds
# the sample databases from data/ and searches them.
demo: $(BUILD)/CMakeCache.txt
	@echo "Building $(PROGRAMS) in $(BUILD)/ (the first time, about a minute on two cores)" >&2
	@cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS) >&2
	@mkdir -p $(DEMO)
	$(MAKEDB) sequences data/swissprot-100.fasta $(DEMO)/sprot
	$(MAKEDB) motifs data/prosite-excerpt.dat $(DEMO)/prosite
	$(SEARCH) -l -m $(DEMO)/prosite -s $(DEMO)/sprot 2>/dev/null

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(PKG_BUILD) $(PYTHON_BUILD)
