# VEQ Cadence: `make run` and `make test` do all the set-up on a fresh Debian 12 machine.

BUILD     ?= build
BUILD_SAN ?= build-san
JOBS      ?= $(shell nproc)
SUDO      := $(if $(filter 0,$(shell id -u)),,sudo)
PACKAGES  := cmake make g++ clang-14 libclang-rt-14-dev qt6-base-dev qt6-serialport-dev \
             libgtest-dev libgmock-dev googletest xvfb xauth fonts-liberation2 qt6-translations-l10n

.PHONY: all deps build build-san test run clean format fuzz
FUZZ_SECONDS ?= 20

all: build

# Installs the Debian packages that are missing (and only then touches apt).
deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEQ_WERROR=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The sanitized build: clang with AddressSanitizer and UndefinedBehaviorSanitizer (any report
# fails the test that made it), and the libFuzzer targets.
$(BUILD_SAN)/CMakeCache.txt: | deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVEQ_WERROR=ON -DVEQ_SANITIZE=ON -DVEQ_FUZZ=ON

build-san: deps $(BUILD_SAN)/CMakeCache.txt
	cmake --build $(BUILD_SAN) -j $(JOBS)

fuzz: build-san
	./scripts/fuzz.sh $(BUILD_SAN) $(FUZZ_SECONDS)

# Every test, in the plain build and then in the sanitized one, after a bounded fuzzing pass.
test: build build-san
	./scripts/fuzz.sh $(BUILD_SAN) $(FUZZ_SECONDS)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cd $(BUILD_SAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# Starts a simulated panel on a pseudo-terminal mapped to COM3 and the application on it.
run: build
	./scripts/run.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
