# Diskwell: the two set-up commands are `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CTEST_JOBS ?= 2

.PHONY: deps configure build run test install bench clean format

deps:
	@bash scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

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

clean:
	rm -rf $(BUILD_DIR)
