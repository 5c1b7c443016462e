# SPDX-License-Identifier: GPL-3.0-or-later
# Quick start: `make run` and `make test`. Both first install what is missing
# from Debian's packages (as root), then configure and build in build/.

PACKAGES := cmake g++ make pkg-config qt6-base-dev libgl-dev \
  libopencv-objdetect-dev libopencv-imgcodecs-dev libopencv-imgproc-dev \
  opencv-data libjpeg62-turbo-dev libjpeg-turbo-progs fonts-wqy-microhei \
  xvfb xdotool imagemagick python3 man-db groff-base \
  desktop-file-utils appstream dpkg-dev file

BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc)

.PHONY: deps build run test sanitize tsan bench fuzz clean

# The batch's benchmark compares it with OpenCV's Python; nothing else needs it.
BENCH_PACKAGES := python3-opencv

# Installs what is missing of the packages given (as root), or says how.
define install-missing
	@missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done | tr '\n' ' '); \
	if [ -n "$${missing% }" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing: $$missing"; \
	    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	  else \
	    echo "Missing Debian packages. Install them with:"; \
	    echo "  sudo apt-get install $$missing"; \
	    exit 1; \
	  fi; \
	fi
endef

deps:
	$(call install-missing,$(PACKAGES))

build: deps
	cmake -S . -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/exam-photo

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer; any
# finding fails the run. (No strict_string_checks: it takes libxkbcommon's
# correct strndup of an unterminated X11 atom name for an overflow.)
sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DEXAM_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# The whole suite under ThreadSanitizer. Debian's Qt and OpenCV are not built
# for it, so reports that lie wholly inside them are suppressed
# (tests/tsan.supp); any report that touches our code fails the run. The
# batch's tests start the program from a test that has threads: the child of
# that fork only starts the program.
TSAN_BUILD ?= build-tsan
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DEXAM_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && \
	  TSAN_OPTIONS=suppressions=$(CURDIR)/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1:die_after_fork=0 \
	  ctest --output-on-failure -j $(JOBS)

bench: build
	$(call install-missing,$(BENCH_PACKAGES))
	./$(BUILD)/bench/exam-photo-bench
	./$(BUILD)/bench/exam-photo-bench-digest

# Fuzzes each file-borne input (fuzz/CMakeLists.txt lists the targets) for
# FUZZ_SECONDS each, starting from its corpus in fuzz/corpus/<target>/; new
# inputs land in build-fuzz/corpus/<target>/, crashes in
# build-fuzz/crashes/<target>/. `make test` replays the corpora in fuzz/.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?= read_photo face_decode roster kept_upload
fuzz: deps
	@command -v clang++ >/dev/null || { echo "The fuzzer needs clang: apt-get install clang libclang-rt-14-dev"; exit 1; }
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXAM_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS:%=%_fuzzer)
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/crashes/$$t && \
	  $(FUZZ_BUILD)/fuzz/$${t}_fuzzer -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=4096 -timeout=20 \
	    -artifact_prefix=$(FUZZ_BUILD)/crashes/$$t/ $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
