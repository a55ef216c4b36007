# osfacets front door: a thin layer over the CMake presets (see README.md).
#   make deps      install the Debian packages the build, tests and tour need
#   make           build every deliverable (i386 tree, x86-64 tree, kernel modules)
#   make check     deps, build, then every test
#   make tour      deps, build, then a scripted walk through every deliverable
#   make install PREFIX=/some/dir
#   make bench     run the benchmarks and print their tables
#   make vm [KERNEL=686|686-pae|amd64|amd64-6.12]   a root shell in a test kernel, under QEMU
#   make check-sanitize   the tests again under ASan+UBSan (i386) and TSan (x86-64)
#   make lint      clang-tidy and cppcheck over user space, checkpatch.pl over the modules

PREFIX ?= /usr/local
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)
# make vm's kernel: Debian 12's 686 (the default), 686-pae or amd64, or amd64-6.12 (backports).
KERNEL ?= 686

.PHONY: all deps build build-i386 build-x86_64 check tour install bench vm check-sanitize lint clean

all: build

deps:
	@sh cmake/deps.sh

build: build-i386 build-x86_64

build-i386:
	@cmake --preset i386 >/dev/null
	@cmake --build --preset i386 -j $(JOBS)

build-x86_64:
	@cmake --preset x86_64 >/dev/null
	@cmake --build --preset x86_64 -j $(JOBS)

check: deps
	@$(MAKE) --no-print-directory build
	@status=0; \
	 ctest --test-dir build/i386 $(CTEST_FLAGS) || status=1; \
	 ctest --test-dir build/x86_64 $(CTEST_FLAGS) || status=1; \
	 exit $$status

tour: deps
	@$(MAKE) --no-print-directory build
	@bash tests/tour/tour.sh

install: build
	cmake --install build/i386 --prefix "$(PREFIX)"
	cmake --install build/x86_64 --prefix "$(PREFIX)"

bench: build
	@bash bench/run.sh

# Boots the test kernel KERNEL with both modules, ioctl_trigger and threads at hand and leaves
# you at its root shell; Ctrl-D there leaves (the guest powers off).
vm: build-i386
	@case " 686 686-pae amd64 amd64-6.12 " in *" $(KERNEL) "*) ;; \
	 *) echo "make vm: KERNEL=$(KERNEL)? choose 686, 686-pae, amd64 or amd64-6.12" >&2; exit 2 ;; esac
	@bash tests/kernel/vm.sh build/kernel/$(KERNEL)/kernel.env \
	     build/i386/tests/kernel/$(KERNEL)/initramfs.cpio.gz

check-sanitize: deps
	@cmake --preset i386-asan >/dev/null
	@cmake --build --preset i386-asan -j $(JOBS)
	@cmake --preset x86_64-tsan >/dev/null
	@cmake --build --preset x86_64-tsan -j $(JOBS)
	@status=0; \
	 ctest --test-dir build/i386-asan $(CTEST_FLAGS) -LE 'kernel|nosanitize' || status=1; \
	 ctest --test-dir build/x86_64-tsan $(CTEST_FLAGS) -L threaded || status=1; \
	 exit $$status

lint: deps
	@JOBS=$(JOBS) bash cmake/lint.sh

clean:
	rm -rf build
