# The two set-up commands: `make run` and `make test`. Each installs the
# Debian packages it needs first (scripts/install-deps.sh), then builds.
BUILD ?= build
JOBS ?= $(shell nproc)
SAMPLE := examples/drive-c

.PHONY: all deps build run test screenshots install deb bench sanitize fuzz clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# Builds and starts the program on the bundled sample drive C:.
run: build
	$(BUILD)/vendral --drive C=$(SAMPLE)

# Builds and runs every test (the GUI tests on Qt's offscreen platform).
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Starts the real program under Xvfb and saves a picture of every page.
screenshots: build
	scripts/screenshots.sh $(BUILD)/vendral $(SAMPLE) docs/screenshots
	scripts/screenshots.sh $(BUILD)/vendral $(SAMPLE) docs/screenshots en

# Installs under PREFIX (default /usr/local; DESTDIR works as usual).
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Builds the Debian package, then checks it from a scratch root.
deb: build
	scripts/check-deb.sh $(BUILD)

# Speed and memory figures, each against a floor measured in the same run.
bench: build
	cmake --build $(BUILD) --target vendral_bench -j $(JOBS)
	$(BUILD)/vendral_bench

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVENDRAL_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 \
		UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The libFuzzer targets, each for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
fuzz: deps
	scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-asan build-fuzz
