# osfacets front door: a thin layer over the CMake presets (see README.md).
#   make deps      install the Debian packages the build, tests and tour need, and make sure
#                  this host runs i386 programs (natively, or through qemu-user-static)
#   make           build every deliverable (i386 tree, x86-64 tree, kernel modules)
#   make check     deps, build, then every test
#   make tour      deps, build, then a scripted walk through every deliverable
#   make install PREFIX=/some/dir
#   make bench     run the benchmarks and print their tables
#   make vm [KERNEL=686|686-pae|amd64|amd64-6.12|amd64-backports|debug-686|debug-amd64]
#                  a root shell in a test kernel (tests/kernel/kernels.list) or a
#                  debugging kernel, under QEMU
#   make check-sanitize   the tests again under ASan+UBSan (i386 and x86-64) and TSan (x86-64),
#                  and the modules' kernel tests under the debugging kernels (KASAN, kmemleak,
#                  lockdep, ...), which it builds once
#   make lint      clang-tidy, cppcheck and clang-format over user space, shellcheck over the
#                  scripts, checkpatch.pl over the modules
#   make check-on RELEASE=trixie   make check inside a fresh root of that Debian release
#                  (debootstrap, chroot in a private mount namespace; cmake/check-on.sh)
#   make deb [RELEASE=bookworm]   the Debian packages (debian/) in build/deb/, built by sbuild
#                  in clean roots of that release, lintian-checked there (cmake/deb.sh)
#   make check-deb the packages' tests (debian/tests) by autopkgtest in fresh Debian 12 and 13
#                  roots, then the modules DKMS built there booted with Debian 13's own kernel
#
# I386=emulated (make check I386=emulated) runs every i386 program of check, tour,
# check-sanitize or bench through qemu-user-static, even on a host whose kernel runs them
# itself: the binfmt_misc entry is made for the run and removed after (cmake/i386-exec.sh).

PREFIX ?= /usr/local
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)
I386 ?=
export I386
ifeq ($(I386),emulated)
  I386_RUN := sh cmake/i386-exec.sh with-emulation
else ifneq ($(I386),)
  $(error I386=$(I386): the only choice is I386=emulated)
endif
# make vm's kernel: Debian 12's 686 (the default), any other of tests/kernel/kernels.list, or
# a debugging kernel of check-sanitize, debug-686 or debug-amd64.
KERNEL ?= 686
KERNELS := $(shell awk '!/^\#/ && NF { print $$1 }' tests/kernel/kernels.list)
VM_KERNELS := $(KERNELS) debug-686 debug-amd64

.PHONY: all deps build build-i386 build-x86_64 check tour install bench vm check-sanitize lint
.PHONY: check-on deb check-deb
.PHONY: clean run-check run-tour run-bench run-sanitize

all: build

deps:
	@sh cmake/deps.sh

build: build-i386 build-x86_64

# The i386 build runs i386 programs (the tests' discovery, kbuild's helpers): say at once if
# this host cannot, rather than deep in the build.
build-i386:
	@sh cmake/i386-exec.sh require
	@cmake --preset i386 >/dev/null
	@cmake --build --preset i386 -j $(JOBS)

build-x86_64:
	@cmake --preset x86_64 >/dev/null
	@cmake --build --preset x86_64 -j $(JOBS)

check: deps
	@$(I386_RUN) $(MAKE) run-check

tour: deps
	@$(I386_RUN) $(MAKE) run-tour

bench:
	@$(I386_RUN) $(MAKE) run-bench

check-sanitize: deps
	@$(I386_RUN) $(MAKE) run-sanitize

# The bodies of check, tour, bench and check-sanitize, run under $(I386_RUN).
# Last, no mount may remain under the tree (the build roots are entered in mount namespaces of
# their own): one left there would make `rm -rf build` reach into what it mounts.
run-check: build
	@status=0; \
	 ctest --test-dir build/i386 $(CTEST_FLAGS) -LE 'debugkernel|dkmskernel' || status=1; \
	 ctest --test-dir build/x86_64 $(CTEST_FLAGS) || status=1; \
	 if findmnt -rn -o TARGET | awk -v d="$(CURDIR)/" 'index($$0, d) == 1 { print; found = 1 } \
	     END { exit !found }'; then \
	     echo "check: the mounts above remain under $(CURDIR)" >&2; status=1; fi; \
	 exit $$status

run-tour: build
	@bash tests/tour/tour.sh

run-bench: build
	@bash bench/run.sh

# The i386 tree's programs run with ASan+UBSan; under emulation without LeakSanitizer, which
# stops the world with ptrace, which qemu-user does not offer. The x86-64 tree runs the same
# sources with ASan+UBSan and LeakSanitizer on every host, so leak checking never depends on it.
# The kernel side: the i386 tree builds the two debugging kernels (once) and the modules for
# them, and boots each with every scenario (tests labelled debugkernel). Those boots mostly
# wait (each module unload waits for the kernel's delayed releases) and use under one core, so
# they run in the background while the sanitizer trees build and run; their output is kept in
# build/i386/debugkernel.log and shown at the end.
run-sanitize:
	@i386_env=; \
	 if [ "$$(sh cmake/i386-exec.sh probe)" = emulated ]; then \
	     i386_env=ASAN_OPTIONS=detect_leaks=0; \
	     echo "check-sanitize: i386 programs run under emulation: the i386 tree runs without" \
	          "LeakSanitizer, the x86-64 tree checks the same sources for leaks"; \
	 fi; \
	 $(MAKE) build-i386 && \
	 cmake --build --preset i386 -j $(JOBS) --target debug_kernel_bed || exit 1; \
	 boots_log=build/i386/debugkernel.log; \
	 echo "check-sanitize: the debugging kernels' boots run in the background ($$boots_log)"; \
	 ctest --test-dir build/i386 $(CTEST_FLAGS) -L debugkernel >$$boots_log 2>&1 & boots=$$!; \
	 status=0; \
	 if env $$i386_env cmake --preset i386-asan >/dev/null && \
	    env $$i386_env cmake --build --preset i386-asan -j $(JOBS) && \
	    cmake --preset x86_64-asan >/dev/null && \
	    cmake --build --preset x86_64-asan -j $(JOBS) && \
	    cmake --preset x86_64-tsan >/dev/null && \
	    cmake --build --preset x86_64-tsan -j $(JOBS); then \
	     env $$i386_env ctest --test-dir build/i386-asan $(CTEST_FLAGS) -LE 'kernel|nosanitize' || status=1; \
	     ctest --test-dir build/x86_64-asan $(CTEST_FLAGS) -LE 'kernel|nosanitize' || status=1; \
	     ctest --test-dir build/x86_64-tsan $(CTEST_FLAGS) -L threaded || status=1; \
	 else \
	     status=1; \
	 fi; \
	 wait $$boots || status=1; \
	 echo "check-sanitize: the debugging kernels' tests:"; \
	 cat $$boots_log; \
	 exit $$status

install: build
	cmake --install build/i386 --prefix "$(PREFIX)"
	cmake --install build/x86_64 --prefix "$(PREFIX)"

# Boots the test kernel KERNEL with both modules, ioctl_trigger and threads at hand and leaves
# you at its root shell; Ctrl-D there leaves (the guest powers off).
vm:
	@case " $(VM_KERNELS) " in *" $(KERNEL) "*) ;; \
	 *) k="$(VM_KERNELS)"; last=$${k##* }; k=$$(echo "$${k% *}" | sed 's/ /, /g'); \
	    echo "make vm: KERNEL=$(KERNEL)? choose $$k or $$last" >&2; exit 2 ;; esac
	@$(MAKE) build-i386
	@case $(KERNEL) in debug-*) cmake --build --preset i386 -j $(JOBS) \
	     --target kernel_initramfs_$(KERNEL) ;; esac
	@bash tests/kernel/vm.sh build/kernel/$(KERNEL)/kernel.env \
	     build/i386/tests/kernel/$(KERNEL)/initramfs.cpio.gz

lint: deps
	@JOBS=$(JOBS) bash cmake/lint.sh

# make check on a fresh root of the Debian release RELEASE (its own make deps installs the rest).
check-on:
	@[ -n "$(RELEASE)" ] || { echo "make check-on: name a Debian release: make check-on RELEASE=trixie" >&2; exit 2; }
	@$(MAKE) deps
	@bash cmake/check-on.sh "$(RELEASE)" check

deb: deps
	@bash cmake/deb.sh build $(or $(RELEASE),bookworm)

# The package tests, then the DKMS-built modules of the Debian 13 root in the kernel test bed.
check-deb: deb build-i386
	@status=0; \
	 bash cmake/deb.sh test bookworm trixie || status=1; \
	 cmake --build --preset i386 -j $(JOBS) --target dkms_kernel_bed && \
	 ctest --test-dir build/i386 $(CTEST_FLAGS) -L dkmskernel || status=1; \
	 exit $$status

clean:
	rm -rf build
