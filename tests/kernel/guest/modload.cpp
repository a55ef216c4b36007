// modload: loads one kernel module with one finit_module call and prints the kernel's answer
// as a number, for the kernel test bed's scenarios that expect a load to fail. (busybox's
// insmod retries a failed finit_module with init_module, which runs the module's init twice.)
//
//   modload FILE [PARAMETER...]    e.g. modload /lib/modules/dirscan.ko devname=foo
// Prints "modload: FILE: 0" or "modload: FILE: -ERRNO (text)"; exits 0 on success, 1 if the
// kernel refused, 2 if the file cannot be opened. Static i386, run inside the test guest.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: modload FILE [PARAMETER...]\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "modload: %s: %s\n", argv[1], std::strerror(errno));
        return 2;
    }
    std::string parameters;
    for (int i = 2; i < argc; ++i) {
        if (i > 2) parameters += ' ';
        parameters += argv[i];
    }
    const long result = syscall(SYS_finit_module, fd, parameters.c_str(), 0);
    const int error = errno;
    close(fd);
    if (result != 0) {
        std::printf("modload: %s: %d (%s)\n", argv[1], -error, std::strerror(error));
        return 1;
    }
    std::printf("modload: %s: 0\n", argv[1]);
    return 0;
}
