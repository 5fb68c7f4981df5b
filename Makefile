# The two commands a newcomer needs: `make run` and `make test`.
JOBS ?= $(shell nproc)
CMAKE_GEN = -G Ninja

.PHONY: all bootstrap build run test bench clean fuzz fuzz-smoke install deb tsan

all: build

bootstrap:
	@scripts/bootstrap

build: bootstrap
	@cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
	@cmake --build build -j $(JOBS)

run: build
	@scripts/run-sample

# The fuzz smoke run (about a minute) comes before ctest, so ctest's summary
# closes the output.
test:
	@VELMORA_FUZZ=1 scripts/bootstrap
	@cmake -S . -B build-test $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON >/dev/null
	@cmake --build build-test -j $(JOBS)
	@FUZZ_JOBS=$(JOBS) fuzz/run smoke
	@$(MAKE) --no-print-directory tsan
	@cd build-test && ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer, built apart in build-tsan/ (tests and velmora-cli only, no
# desktop program): the unit tests of the arenas, the string pool, the log
# buffer, the analysis threads (parsing and linking, with the index's store
# and its writing thread) and the collection of the
# desktop program's command line, then one thread
# against many on a small generated corpus, the sample and the fixtures
# (tests/e2e/jobs-compare), and the same outputs with and without the
# project's index (tests/e2e/index-compare).
TSAN_ENV = TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
tsan: bootstrap
	@cmake -S . -B build-tsan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TSAN=ON \
	  -DVELMORA_GUI=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target test_foundation test_engine test_index test_xref \
	  test_shell test_lsp velmora-cli velmora-lsp velmora_corpus_gen
	@cd build-tsan && $(TSAN_ENV) ./test_foundation --gtest_brief=1 \
	  --gtest_filter='Arena*:StrPool*:Log.*'
	@cd build-tsan && $(TSAN_ENV) ./test_engine --gtest_brief=1 --gtest_filter='PoolTest*:EngineTest*'
	@cd build-tsan && $(TSAN_ENV) ./test_index --gtest_brief=1
	@cd build-tsan && $(TSAN_ENV) ./test_xref --gtest_brief=1 --gtest_filter='LinkAhead*:XrefTest*'
	@cd build-tsan && $(TSAN_ENV) ./test_shell --gtest_brief=1 --gtest_filter='AppTest.Collection*'
	@cd build-tsan && $(TSAN_ENV) ./test_lsp --gtest_brief=1
	@$(TSAN_ENV) bash tests/e2e/jobs-compare build-tsan/velmora-cli build-tsan/velmora_corpus_gen \
	  "$(CURDIR)" 60
	@$(TSAN_ENV) bash tests/e2e/index-compare build-tsan/velmora-cli build-tsan/velmora_corpus_gen \
	  "$(CURDIR)"

bench: build
	@bench/run

# `sudo make install` installs the Release build below PREFIX; DESTDIR stages
# it elsewhere (for packagers). `make deb` builds the Debian package apart in
# build-deb/, with Debian's hardening flags, and leaves velmora_*.deb here.
PREFIX ?= /usr/local
DESTDIR ?=

install: build
	@DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

deb: bootstrap
	@export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	cmake -S . -B build-deb $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF \
	  -DCMAKE_INSTALL_PREFIX=/usr \
	  "-DCMAKE_C_FLAGS=$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CFLAGS)" \
	  "-DCMAKE_CXX_FLAGS=$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  "-DCMAKE_EXE_LINKER_FLAGS=$$(dpkg-buildflags --get LDFLAGS)" >/dev/null
	@cmake --build build-deb -j $(JOBS)
	@rm -f build-deb/velmora_*.deb
	@cd build-deb && cpack -G DEB >/dev/null
	@cp build-deb/velmora_*.deb .
	@ls build-deb/velmora_*.deb | sed 's|^build-deb/||'

# Fuzzing (clang + libFuzzer, built apart in build-fuzz/; see fuzz/run).
# `make fuzz` installs clang when missing and builds the targets; `make
# fuzz-smoke` runs each for 15 s, and skips (exit 0) without clang/libFuzzer.
fuzz:
	@VELMORA_FUZZ=1 scripts/bootstrap
	@FUZZ_JOBS=$(JOBS) fuzz/run build

fuzz-smoke:
	@FUZZ_JOBS=$(JOBS) fuzz/run smoke

clean:
	rm -rf build build-test build-fuzz build-deb build-tsan
