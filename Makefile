# The README's two commands, the benchmark and the fuzz run.
BUILD ?= build
JOBS ?= 2

FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: run test bench fuzz deps configure clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null

# Build the tool and dump every VS of the example configuration.
run: configure
	cmake --build $(BUILD) -j$(JOBS) --target lbsnap
	./$(BUILD)/lbsnap -f examples/bahd.conf

# Build everything and run every test.
test: configure
	cmake --build $(BUILD) -j$(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: configure
	cmake --build $(BUILD) -j$(JOBS) --target lbsnap
	bash bench/run.sh ./$(BUILD)/lbsnap

# Build the libFuzzer harnesses with clang in a directory of their own and run
# each for FUZZ_SECONDS seconds.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DLBSNAP_FUZZ=ON -DLBSNAP_TESTS=OFF > /dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-sanitize $(FUZZ_BUILD)
