# The README's two commands, and the benchmark.
BUILD ?= build
JOBS ?= 2

.PHONY: run test bench deps configure clean

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
	cmake --build $(BUILD) -j$(JOBS) --target lbsnap slow_resolver
	bash bench/run.sh ./$(BUILD)/lbsnap
	bash bench/resolve.sh ./$(BUILD)/lbsnap ./$(BUILD)/libslow_resolver.so

clean:
	rm -rf $(BUILD) build-sanitize build-tsan
