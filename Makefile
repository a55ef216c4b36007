# osfacets front door: a thin layer over the CMake presets (see README.md).
#   make deps      install the Debian packages the build, tests and tour need, and make sure
#                  this host runs i386 programs (natively, or through qemu-user-static)
#   make           build every deliverable (i386 tree, x86-64 tree, kernel modules)
#   make check     deps, build, then every test
#   make tour      deps, build, then a scripted walk through every deliverable
#   make install PREFIX=/some/dir
#   make bench     run the benchmarks and print their tables
#   make vm [KERNEL=...]   a root shell under QEMU in a test kernel of
#                  tests/kernel/kernels.list or a debugging kernel (debug-686, debug-amd64)
#   make check-sanitize   the tests again under ASan+UBSan (i386 and x86-64) and TSan (x86-64),
#                  and the modules' kernel tests under the debugging kernels (KASAN, kmemleak,
#                  lockdep, ...), which it builds once
#   make lint      clang-tidy, cppcheck and clang-format over user space, shellcheck over the
#                  scripts, checkpatch.pl over the modules
#   make check-on [RELEASE=...]   make check inside a fresh root of that Debian release, by
#                  default the newest of cmake/releases.list (chroot in a private mount
#                  namespace; cmake/check-on.sh)
#   make deb [RELEASE=...]   the Debian packages (debian/) in build/deb/, built by sbuild in
#                  clean roots of that release, by default the oldest of cmake/releases.list,
#                  lintian-checked there (cmake/deb.sh)
#   make check-deb the packages' tests (debian/tests) by autopkgtest in fresh roots of each
#                  release, then the modules DKMS built on the newest booted with its own kernel
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
# make vm's kernel: one of tests/kernel/kernels.list (by default its first) or a debugging
# kernel of check-sanitize, debug-686 or debug-amd64.
KERNEL ?=

.PHONY: all deps build build-i386 build-x86_64 check tour install bench vm check-sanitize lint
.PHONY: check-on deb check-deb
.PHONY: clean run-check run-tour run-bench run-sanitize

all: build

deps:
	@sh cmake/deps.sh

build: build-i386

# The i386 build runs i386 programs (the tests' discovery, kbuild's helpers): say at once if
# this host cannot, rather than deep in the build. Its 64-bit test guests take the x86-64
# tree's guest programs: it builds that tree first.
build-i386:
	@sh cmake/i386-exec.sh require
	@$(MAKE) build-x86_64
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
run-check: build
	@JOBS=$(JOBS) CTEST_FLAGS="$(CTEST_FLAGS)" bash cmake/check.sh check

run-tour: build
	@bash tests/tour/tour.sh

run-bench: build
	@bash bench/run.sh

run-sanitize:
	@JOBS=$(JOBS) CTEST_FLAGS="$(CTEST_FLAGS)" bash cmake/check.sh sanitize

install: build
	cmake --install build/i386 --prefix "$(PREFIX)"
	cmake --install build/x86_64 --prefix "$(PREFIX)"

# Boots the test kernel KERNEL with both modules, ioctl_trigger and threads at hand and leaves
# you at its root shell; Ctrl-D there leaves (the guest powers off).
vm: build-i386
	@bash tests/kernel/vm.sh "$(KERNEL)"

lint: deps
	@JOBS=$(JOBS) bash cmake/lint.sh

# make check on a fresh root of the Debian release RELEASE (its own make deps installs the rest).
check-on:
	@$(MAKE) deps
	@bash cmake/check-on.sh $(RELEASE)

deb: deps
	@bash cmake/deb.sh build $(RELEASE)

check-deb: deb build-i386
	@JOBS=$(JOBS) CTEST_FLAGS="$(CTEST_FLAGS)" bash cmake/check.sh deb

clean:
	rm -rf build
