# Convenience front end over CMake. `make test` builds everything from a clean
# clone and runs every test; `make demo` searches the sample data.
BUILD ?= build
JOBS ?= 2

DEMO := $(BUILD)/demo
MAKEDB := $(BUILD)/src/brisel-makedb/brisel-makedb
SEARCH := $(BUILD)/src/brisel-search/brisel-search

.PHONY: all build test demo clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Builds the sample databases from data/ and searches them.
demo: $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS) > $(BUILD)/build.log || { cat $(BUILD)/build.log; exit 1; }
	@mkdir -p $(DEMO)
	$(MAKEDB) sequences data/swissprot-100.fasta $(DEMO)/sprot
	$(MAKEDB) motifs data/prosite-excerpt.dat $(DEMO)/prosite
	$(SEARCH) -l -m $(DEMO)/prosite -s $(DEMO)/sprot 2>/dev/null

clean:
	rm -rf $(BUILD)
