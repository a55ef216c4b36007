// ioctl_cost: times one ioctl on a device node, called again and again.
//
//   ioctl_cost DEVICE CALLS
// Opens DEVICE, makes a few untimed calls, then times CALLS calls of ioctl(fd, 0, 0) one by one
// with CLOCK_MONOTONIC and prints "ioctl_cost: calls=N median_us=M mean_us=A min_us=L".
// Exits 1 if an ioctl fails, 2 if the node cannot be opened or the arguments are wrong. Static
// i386: the kernel test bed packs it into the guest, where bench/kernel/bench.sh has it time
// tasklister's process table (guest suite "bench").
#include <fcntl.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "clock.h"
#include "count_arg.h"
#include "report.h"

int main(int argc, char** argv) {
    const long calls = argc == 3 ? count_arg(argv[2], INT_MAX) : 0;
    if (calls <= 0) {
        report_text("usage: ioctl_cost DEVICE CALLS\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDWR);
    if (fd < 0) {
        const int error = errno;
        report_error(error, ("ioctl_cost: open " + std::string(argv[1])).c_str());
        return 2;
    }
    std::vector<double> took(static_cast<size_t>(calls));
    for (long i = -3; i < calls; ++i) {  // the first three warm the caches and are not kept
        const double start = now_seconds();
        if (ioctl(fd, 0, 0UL) < 0) {
            report_error(errno, "ioctl_cost: ioctl");
            close(fd);
            return 1;
        }
        const double end = now_seconds();
        if (i >= 0) took[static_cast<size_t>(i)] = (end - start) * 1e6;  // microseconds
    }
    close(fd);

    double sum = 0;
    for (const double t : took) sum += t;
    std::sort(took.begin(), took.end());
    const size_t n = took.size();
    const double median = n % 2 ? took[n / 2] : (took[n / 2 - 1] + took[n / 2]) / 2;
    std::printf("ioctl_cost: calls=%ld median_us=%.1f mean_us=%.1f min_us=%.1f\n", calls, median,
                sum / static_cast<double>(n), took.front());
    return 0;
}
