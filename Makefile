# Diskwell: the two set-up commands are `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CTEST_JOBS ?= 2
# ON makes every compiler warning an error (CI); a plain `make test` builds without.
WERROR ?= OFF

.PHONY: deps configure build run test install bench clean format check-format check-layers

deps:
	@bash scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
		-DDISKWELL_WERROR=$(WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR)

run: build
	$(BUILD_DIR)/src/app/diskwell

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(CTEST_JOBS)

install: build
	cmake --install $(BUILD_DIR)

bench: build
	@cmake --build $(BUILD_DIR) --target benchmarks

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

check-format:
	git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format --dry-run -Werror

check-layers:
	python3 scripts/check_layers.py

clean:
	rm -rf $(BUILD_DIR)
