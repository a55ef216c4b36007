// boot_log: the kernel test cases' view of one kernel's main boot (the `main` suite, run by
// that kernel's kernel_boot_main_<kernel> test before them): the kernel named by OSF_KERNEL,
// whose console is in KERNEL_TEST_DIR/<kernel>/boot-main.log; parsed once per test process.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "guest_log.h"

namespace osf::kernel_test {

// What the test bed knows of the kernel under test, from OSF_KERNEL: "NAME PAGING [debugging]"
// (one variable: CTest's environment of a discovered test holds one entry). Word `n`, or "".
inline std::string kernel_fact(int n) {
    const char* facts = std::getenv("OSF_KERNEL");
    std::istringstream words(facts ? facts : "");
    std::string word;
    for (int i = 0; i <= n; ++i)
        if (!(words >> word)) return "";
    return word;
}

// The test kernel's name (kernels.list's first column), and the paging layout it runs with.
inline std::string kernel_name() { return kernel_fact(0); }
inline std::string kernel_paging() { return kernel_fact(1); }

// One of the debugging kernels (tests/kernel/debug), which run the suite "debug".
inline bool is_debugging_kernel() { return kernel_fact(2) == "debugging"; }

inline std::string main_log_path() {
    return std::string(KERNEL_TEST_DIR) + "/" + kernel_name() + "/boot-main.log";
}

inline const GuestLog& main_log() {
    static const GuestLog log = load_guest_log(main_log_path());
    return log;
}

inline bool is_64_bit(const GuestLog& log) { return log.machine == "x86_64"; }

// The kernel lines that are the frame's own, plus the first line of each table (so a test
// sees an ioctl it did not expect); the kernel's other messages are left out.
inline std::vector<KernelLine> module_lines(const Section& section) {
    static const std::set<std::string, std::less<>> texts = {"Initializing character device",
                                                             "cdev_alloc failed ",
                                                             "cdev_add failed ",
                                                             "class_create() failed ",
                                                             "device_create() failed ",
                                                             "Open successful",
                                                             "File released",
                                                             "Exiting the character driver ",
                                                             "Open My_ioctl successful "};
    std::vector<KernelLine> lines;
    for (const KernelLine& line : section.kernel)
        if (texts.contains(line.text) || line.text.starts_with("Device name ") ||
            line.text.rfind("Major number allocated = ", 0) == 0 ||
            line.text.rfind("Device number allocation failed: ", 0) == 0 ||
            line.text.rfind("count : ", 0) == 0)
            lines.push_back(line);
    return lines;
}

inline int count_lines(const Section& section, int level, std::string_view text) {
    int count = 0;
    for (const KernelLine& line : section.kernel) count += line.level == level && line.text == text;
    return count;
}

}  // namespace osf::kernel_test

// Declares `const Section* var` for the named section, failing the test if the guest did not
// print it.
#define OSF_SECTION(var, name)                                                   \
    const ::osf::kernel_test::Section* var =                                     \
        ::osf::kernel_test::find_section(::osf::kernel_test::main_log(), name);  \
    ASSERT_NE(var, nullptr) << "the guest printed no section " << (name) << "\n" \
                            << ::osf::kernel_test::console_tail(::osf::kernel_test::main_log())
