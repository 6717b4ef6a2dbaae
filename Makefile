# The commands people type. `make demo` and `make test` install what is missing first.
.PHONY: all deps deps-native native asan windows windows32 windows64 dist install fuzz test test-native test-asan test-windows demo clean bench

all: native

deps:
	@scripts/setup-deps

deps-native:
	@scripts/setup-deps --native

native: deps-native
	cmake --preset native >/dev/null
	cmake --build --preset native

asan: deps-native
	cmake --preset asan >/dev/null
	cmake --build --preset asan

# Both Windows builds: kalamos.dll (32-bit, for the host platform and 32-bit programs) in
# build/windows, kalamos64.dll (for 64-bit programs) in build/windows64.
windows: windows32 windows64

windows32: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows

windows64: deps
	cmake --preset windows64 >/dev/null
	cmake --build --preset windows64

# ostrak into PREFIX/bin (default /usr/local).
PREFIX ?= /usr/local
install: native
	cmake --install build/native --prefix "$(PREFIX)"

# The package users download: build/dist/kalamos-<version>.zip.
dist: windows
	@scripts/make-dist build/windows build/dist build/windows64

test-native: native
	ctest --preset native

test-asan: asan
	ctest --preset asan

# The 32-bit build's tests in a 32-bit Windows, then the 64-bit build's in a 64-bit one
# (which also runs both DLLs side by side); the script tests compare with the native tool.
test-windows: windows native
	@rc=0; ctest --preset windows || rc=1; scripts/wine-stop; \
	ctest --preset windows64 || rc=1; KALAMOS_WINEARCH=win64 scripts/wine-stop; exit $$rc

# Every part, three steps at a time; every part runs even when another fails, and a table at
# the end says what passed and where the time went (scripts/test-all).
test: deps
	@scripts/test-all

# In-process benchmarks, then whole processes natively and (the DLL) under Wine, each
# figure as a ratio against a baseline measured in the same run. libgsf's own reader (gsf)
# is the bare read Load is judged by; without it the benchmark's own reader stands in. The
# 64-bit DLL is measured where the machine cannot run the 32-bit one.
bench: native windows32 windows64
	@scripts/setup-deps --only libgsf-bin || echo "bench: libgsf-bin could not be installed; the bare read is bench_read_stream's"
	@for b in build/native/bench/bench_load build/native/bench/bench_listing build/native/bench/bench_walk build/native/bench/bench_model build/native/bench/bench_text_diff build/native/bench/bench_code; do echo "== $$b"; $$b; done
	@echo "== bench/whole-process"; bench/whole-process
	@echo "== bench/mcp-latency"; bench/mcp-latency

demo: native
	@scripts/demo

clean:
	rm -rf build

# libFuzzer targets: a bounded run for the test suite, a longer one by hand.
.PHONY: test-fuzz
fuzz: deps-native
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	scripts/fuzz --seconds $${FUZZ_SECONDS:-600}

# The suite's fixed run of every target (scripts/fuzz --suite): a red run always means the
# same input, never a lucky draw.
test-fuzz: deps-native
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	scripts/fuzz --suite
