# The README's two commands, the benchmark, the fuzz run and the package.
# Each first installs what that step needs (scripts/install-deps.sh).
BUILD ?= build
JOBS ?= 2

FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: run test bench fuzz clean package

# The tests' targets need GoogleTest and python3, which a plain build and
# dump does without.
configure = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLBSNAP_TESTS=$(1) > /dev/null

# Build the tool and dump every VS of the example configuration.
run:
	@bash scripts/install-deps.sh build
	$(call configure,OFF)
	cmake --build $(BUILD) -j$(JOBS) --target lbsnap
	./$(BUILD)/lbsnap -f examples/bahd.conf

# Build everything and run every test.
test:
	@bash scripts/install-deps.sh test
	$(call configure,ON)
	cmake --build $(BUILD) -j$(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The benchmark's tool reads and writes its fixed paths (settings, cipher
# sets) under a root of its own, never the machine's. Its settings directory
# exists, as on an appliance, so the dump records the custom cipher sets.
BENCH_BUILD ?= build-bench

bench:
	@bash scripts/install-deps.sh bench
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLBSNAP_TESTS=OFF \
	  -DLBSNAP_ROOT=$(CURDIR)/$(BENCH_BUILD)/root > /dev/null
	cmake --build $(BENCH_BUILD) -j$(JOBS) --target lbsnap slow_resolver
	mkdir -p $(BENCH_BUILD)/root/corvane/cfg
	bash bench/run.sh ./$(BENCH_BUILD)/lbsnap
	bash bench/resolve.sh ./$(BENCH_BUILD)/lbsnap ./$(BENCH_BUILD)/libslow_resolver.so

# The Debian package, built by dpkg-buildpackage from debian/ on a copy of
# the tree's files (tracked or new, not ignored; without git's data), so that
# the build leaves nothing in the tree and its results (.deb, -dbgsym .deb,
# source package, .changes) land in build-package/, not beside the checkout.
PACKAGE_BUILD ?= build-package

package:
	@bash scripts/install-deps.sh package
	rm -rf $(PACKAGE_BUILD)
	tree=$(PACKAGE_BUILD)/lbsnap-$$(dpkg-parsechangelog -S Version) && mkdir -p $$tree && \
	  git ls-files -z --cached --others --exclude-standard | \
	    tar --null --files-from=- --ignore-failed-read -cf - | tar -x --touch -C $$tree && \
	  cd $$tree && dpkg-buildpackage -us -uc -J$(JOBS)

# Build the libFuzzer harnesses with clang in a directory of their own and run
# each for FUZZ_SECONDS seconds.
fuzz:
	@bash scripts/install-deps.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DLBSNAP_FUZZ=ON -DLBSNAP_TESTS=OFF > /dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-sanitize build-tsan $(FUZZ_BUILD) $(PACKAGE_BUILD) $(BENCH_BUILD)
