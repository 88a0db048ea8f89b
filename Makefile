# VEQ Cadence: `make run` and `make test` do all the set-up on a fresh Debian 12 machine.

BUILD     ?= build
BUILD_SAN ?= build-san
BUILD_APP ?= build-app
JOBS      ?= $(shell nproc)
SUDO      := $(if $(filter 0,$(shell id -u)),,sudo)
PACKAGES  := cmake make g++ clang-14 libclang-rt-14-dev qt6-base-dev qt6-serialport-dev \
             libgtest-dev libgmock-dev googletest xvfb xauth fonts-liberation2 qt6-translations-l10n \
             ccache pandoc dpkg-dev desktop-file-utils lintian ser2net

# The Windows build: Qt for Windows (MinGW-w64) as a tarball or an unpacked folder, outside the
# repository; unpacked into build-win-qt/. Without it `make test` skips the Windows part.
BUILD_WIN   ?= build-win
VEQ_QT_WIN  ?= $(abspath $(CURDIR)/../shared/windows/qt-6.4.2-mingw-w64-x86_64.tar.xz)
WIN_QT_ROOT := $(CURDIR)/build-win-qt
ifneq ($(filter %.tar.xz,$(VEQ_QT_WIN)),)
WIN_QT       := $(WIN_QT_ROOT)/qt6-mingw
WIN_QT_STAMP := $(WIN_QT)/.unpacked
else
WIN_QT       := $(abspath $(VEQ_QT_WIN))
WIN_QT_STAMP :=
endif
HAVE_QT_WIN := $(wildcard $(VEQ_QT_WIN))
# The cross compiler, Wine to run the tests, NSIS for the setup program, xdotool to see the
# installed program's window on Xvfb, wixl for the MSI package (msitools to read one back),
# osslsigncode to sign the programs and packages (only with a Windows Qt).
ifneq ($(HAVE_QT_WIN),)
PACKAGES += g++-mingw-w64-x86-64-posix wine64 wine nsis ninja-build xdotool wixl msitools \
            osslsigncode
endif

# Under Wine a test that fails (or hangs past 120 s) runs once more before it counts as failed:
# Wine now and then loses a test program at its end or holds a file lock; a real fault fails twice.
# Left out under Wine, by name: threads taking one QLockFile at once (the ports file's, the
# journal's) hang there now and then when other Wine programs run beside them (the same tests pass
# on Linux).
WINE_LEFT_OUT := ^(PortNumbering\.ProgramsNumberingAtOnceGiveEachAdapterOneNumber|Journal\.WritersAtOnceGetNumbersOfTheirOwn)$$

.PHONY: all deps build build-san build-app check-portability test run clean format fuzz package \
        windows windows-package test-windows windows-timing
FUZZ_SECONDS ?= 20

all: build

# Installs the Debian packages that are missing (and only then touches apt). ser2net is for the
# tests, which start their own on the loopback: the system service its package enables (in front
# of /dev/ttyS0..3) is switched off.
deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing && \
	  if echo " $$missing " | grep -q ' ser2net ' && command -v systemctl >/dev/null 2>&1; then \
	    $(SUDO) systemctl disable --now ser2net.service >/dev/null 2>&1 || true; \
	  fi; \
	fi

# With ccache the application-only tree below compiles from the plain build's objects (same
# flags; the folder's name kept out of the hash), so checking it costs seconds.
# (Looked up when a tree is configured: `make deps` may just have installed it.)
CCACHE = $$(command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= true

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEQ_WERROR=ON $(CCACHE)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The sanitized build: clang with AddressSanitizer and UndefinedBehaviorSanitizer (any report
# fails the test that made it), and the libFuzzer targets.
$(BUILD_SAN)/CMakeCache.txt: | deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVEQ_WERROR=ON -DVEQ_SANITIZE=ON -DVEQ_FUZZ=ON $(CCACHE)

build-san: deps $(BUILD_SAN)/CMakeCache.txt
	cmake --build $(BUILD_SAN) -j $(JOBS)

# The application alone, as on Windows: no tests, no Unix tools, no GoogleTest.
$(BUILD_APP)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_APP) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEQ_WERROR=ON \
	  -DBUILD_TESTING=OFF -DVEQ_TOOLS=OFF $(CCACHE)

build-app: deps $(BUILD_APP)/CMakeCache.txt
	cmake --build $(BUILD_APP) -j $(JOBS)

# The Windows tree, cross-built with MinGW-w64: veq-cadence.exe, veqctl.exe and the test programs
# that are not Unix-only, in $(BUILD_WIN)/bin. Its tests run under Wine; the wire tests drive
# veqctl.exe against the Linux veq-panel-sim of $(BUILD).
$(WIN_QT_STAMP): $(VEQ_QT_WIN)
	rm -rf $(WIN_QT_ROOT) && mkdir -p $(WIN_QT_ROOT)
	tar -xJf $(VEQ_QT_WIN) -C $(WIN_QT_ROOT)
	touch $@

$(BUILD_WIN)/CMakeCache.txt: | deps $(WIN_QT_STAMP)
	$(WIN_QT)/bin/qt-cmake -S . -B $(BUILD_WIN) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
	  -DVEQ_WERROR=ON -DVEQ_GTEST_SOURCE=/usr/src/googletest \
	  -DVEQ_PANEL_SIM=$(CURDIR)/$(BUILD)/bin/veq-panel-sim $(CCACHE)

windows: deps
ifeq ($(HAVE_QT_WIN),)
	@echo "make windows: no Qt for Windows at $(VEQ_QT_WIN) (set VEQ_QT_WIN)" >&2; exit 1
else
	$(MAKE) $(BUILD_WIN)/CMakeCache.txt
	cmake --build $(BUILD_WIN) -j $(JOBS)
endif

# VEQ-Cadence-<version>-win64-setup.exe (NSIS), VEQ-Cadence-<version>-win64.zip and
# VEQ-Cadence-<version>-win64.msi (wixl) in $(BUILD_WIN), signed when a certificate is given:
# VEQ_SIGN_CERT and VEQ_SIGN_KEY, or VEQ_SIGN_PKCS12; VEQ_SIGN_PASSWORD only from the environment;
# VEQ_SIGN_TIMESTAMP, a timestamp server (cmake/windows/sign.sh).
VEQ_SIGN_FILES := VEQ_SIGN_CERT VEQ_SIGN_KEY VEQ_SIGN_PKCS12
$(foreach v,$(VEQ_SIGN_FILES),$(if $($(v)),$(eval override $(v) := $(abspath $($(v))))))
export $(VEQ_SIGN_FILES) VEQ_SIGN_TIMESTAMP
windows-package: windows
	@cmake/windows/sign.sh --notice
	cd $(BUILD_WIN) && cpack -G "NSIS;ZIP;External"

# The four transfers' time against the floor, through veqctl.exe under Wine (prints; not a test).
windows-timing: build windows
	tests/winwire/wire.sh timing $(CURDIR)/$(BUILD_WIN)/wine/run \
	  $(CURDIR)/$(BUILD_WIN)/bin/veqctl.exe $(CURDIR)/$(BUILD)/bin/veq-panel-sim \
	  $(CURDIR)/$(BUILD_WIN)/wire/com3 $(CURDIR)/$(BUILD_WIN)/wire/timing

# The Windows test programs under Wine, and the wire and package tests (they need the Linux
# simulator of $(BUILD)); skipped, and said so, without a Windows Qt.
test-windows:
ifeq ($(HAVE_QT_WIN),)
	@echo "make test: no Qt for Windows at $(VEQ_QT_WIN) (VEQ_QT_WIN):" \
	  "the Windows build and its tests under Wine are SKIPPED"
else
	$(MAKE) build windows
	cd $(BUILD_WIN) && ctest --output-on-failure -j $(JOBS) -E '$(WINE_LEFT_OUT)' \
	  --timeout 120 --repeat until-pass:2
endif

# No POSIX-only header or Unix-only call outside panelsim/, bench/, tests/.
check-portability:
	./scripts/check-portability.sh

fuzz: build-san
	./scripts/fuzz.sh $(BUILD_SAN) $(FUZZ_SECONDS)

# Every test, in the plain build and then in the sanitized one, after a bounded fuzzing pass; the
# application-only build and the portability check first; then the Windows tree under Wine.
test: check-portability build build-app build-san
	./scripts/fuzz.sh $(BUILD_SAN) $(FUZZ_SECONDS)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cd $(BUILD_SAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-windows

# Starts a simulated panel on a pseudo-terminal mapped to COM3 and the application on it.
run: build
	./scripts/run.sh $(BUILD)

# The Debian package build/veq-cadence_<version>_<arch>.deb (install it with apt install ./build/...).
package: build
	cmake --build $(BUILD) --target package

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_APP) $(BUILD_WIN) $(WIN_QT_ROOT)
