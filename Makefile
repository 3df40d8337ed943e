# The README's two commands, the benchmark and the fuzz run.
BUILD ?= build
JOBS ?= 2

FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: run test bench fuzz deps configure clean package package-deps

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

# The benchmark's tool reads and writes its fixed paths (settings, cipher
# sets) under a root of its own, never the machine's. Its settings directory
# exists, as on an appliance, so the dump records the custom cipher sets.
BENCH_BUILD ?= build-bench

bench: deps
	@bash scripts/install-deps.sh bench
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLBSNAP_TESTS=OFF \
	  -DLBSNAP_ROOT=$(CURDIR)/$(BENCH_BUILD)/root > /dev/null
	cmake --build $(BENCH_BUILD) -j$(JOBS) --target lbsnap slow_resolver
	mkdir -p $(BENCH_BUILD)/root/corvane/cfg
	bash bench/run.sh ./$(BENCH_BUILD)/lbsnap
	bash bench/resolve.sh ./$(BENCH_BUILD)/lbsnap ./$(BENCH_BUILD)/libslow_resolver.so

# The Debian package, in its own build directory: a release build with the
# real fixed paths, the distribution's hardening flags and no test targets.
PACKAGE_BUILD ?= build-package

package: export DEB_BUILD_MAINT_OPTIONS = hardening=+all

package-deps:
	@bash scripts/install-deps.sh packaging

package: package-deps
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DLBSNAP_ROOT= -DLBSNAP_TESTS=OFF \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" > /dev/null
	cmake --build $(PACKAGE_BUILD) -j$(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB

# Build the libFuzzer harnesses with clang in a directory of their own and run
# each for FUZZ_SECONDS seconds.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DLBSNAP_FUZZ=ON -DLBSNAP_TESTS=OFF > /dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-sanitize build-tsan $(FUZZ_BUILD) $(PACKAGE_BUILD) $(BENCH_BUILD)
