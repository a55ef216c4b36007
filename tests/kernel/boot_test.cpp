// boot_test: the health of the main test boot as a whole: the guest ran to its end on the
// paging layout it was booted for, the kernel logged no oops, BUG, warning, lockup or stall
// (on a debugging kernel: nor a KASAN, lockdep, RCU, sleep-in-atomic or object-debugging
// report, nor a kmemleak report through the modules), and the only taints are the ones
// loading an out-of-tree, unsigned module brings.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "boot_log.h"

namespace osf::kernel_test {
namespace {

TEST(KernelBoot, GuestRanEveryScenarioAndFinished) {
    const GuestLog& log = main_log();
    ASSERT_FALSE(log.console.empty()) << "no console output in " << main_log_path();
    EXPECT_TRUE(log.finished) << "the guest's final status line is missing\n" << console_tail(log);
    std::vector<std::string> names = {"boot",
                                      "frame_tasklister",
                                      "frame_dirscan",
                                      "tasklister_table",
                                      "tasklister_thread",
                                      "dirscan_table",
                                      "dirscan_flags_only",
                                      "duplicate_devname",
                                      "duplicate_devname_insmod",
                                      "missing_devname",
                                      "long_devname",
                                      "cycles",
                                      "concurrent",
                                      "leftovers"};
    for (const char* module : {"tasklister", "dirscan"})
        for (const char* step :
             {"alloc_chrdev_region", "cdev_alloc", "cdev_add", "class_create", "device_create"})
            names.push_back(std::string("fail_") + module + "_" + step);
    if (is_64_bit(log)) names.emplace_back("compat_caller");
    if (is_debugging_kernel()) names.insert(names.end(), {"release_cycles", "kmemleak"});
    for (const std::string& name : names)
        EXPECT_NE(find_section(log, name), nullptr) << "no section " << name;
}

// The layout that kernels.list (or the debugging kernels' and the DKMS bed's own CMake file)
// gives the kernel.
TEST(KernelBoot, PagingLayoutAsBooted) {
    ASSERT_NE(kernel_paging(), "") << "no paging layout for " << kernel_name();
    EXPECT_EQ(paging_layout(main_log()), kernel_paging())
        << "kernel " << main_log().release << " on " << main_log().machine;
}

// KASAN and the sleep-in-atomic check report as "BUG:", lockdep and RCU checks as "WARNING:";
// the object debugger's reports start with "ODEBUG:".
TEST(KernelBoot, NoOopsBugWarningLockupOrStall) {
    const GuestLog& log = main_log();
    const char* const markers[] = {"Oops",
                                   "BUG:",
                                   "WARNING:",
                                   "ODEBUG:",
                                   "Kernel panic",
                                   "kernel BUG",
                                   "general protection fault",
                                   "Unable to handle",
                                   "soft lockup",
                                   "hard LOCKUP",
                                   "detected stalls",
                                   "blocked for more than"};
    std::string found;
    for (const std::string& line : log.console)
        for (const char* marker : markers)
            if (line.find(marker) != std::string::npos) found += "  " + line + "\n";
    EXPECT_TRUE(found.empty()) << "the kernel reported trouble:\n" << found << console_tail(log);
}

// kmemleak's reports that the kernel's own code makes and a module only provokes, each known
// by functions its backtrace passes through, in that order. Every other report whose
// backtrace passes through a module (by name, or as a bare address: only our modules load in
// the guest, and an unloaded module's frames have no name left) fails.
struct KernelOwnLeak {
    std::array<std::string_view, 3> frames;
    std::string_view reason;
};
constexpr KernelOwnLeak kernel_own_leaks[] = {
    {{"kstrdup", "__class_register", "__class_create"},
     "6.1's class registration, failing on a class name that is taken (duplicate_devname), "
     "frees the class but not the copy of its name it made"},
};

bool matches(const std::vector<std::string>& backtrace, const KernelOwnLeak& own) {
    std::size_t next = 0;
    for (const std::string& frame : backtrace)
        if (next < own.frames.size() &&
            frame.find("] " + std::string(own.frames[next]) + "+") != std::string::npos)
            ++next;
    return next == own.frames.size();
}

TEST(KernelBoot, NoLeakThroughTheModules) {
    if (!is_debugging_kernel()) GTEST_SKIP() << "kmemleak runs in the debugging kernels only";
    // Each boot scans once, at its end.
    std::vector<const Section*> scans;
    for (const Section& section : main_log().sections)
        if (section.name == "kmemleak") scans.push_back(&section);
    ASSERT_FALSE(scans.empty()) << "no kmemleak scan\n" << console_tail(main_log());
    // Each report: "unreferenced object ...", its details, "backtrace:", frames "[<addr>] ...".
    std::vector<std::vector<std::string>> reports;
    for (const Section* section : scans) {
        EXPECT_EQ(find_command(*section, "sh -c echo scan >/sys/kernel/debug/kmemleak").rc, 0)
            << describe(*section);
        for (const std::string& line : section->lines) {
            if (line.starts_with("unreferenced object")) reports.emplace_back();
            if (!reports.empty()) reports.back().push_back(line);
        }
    }
    std::string ours;
    for (const std::vector<std::string>& report : reports) {
        bool through_module = false;
        for (const std::string& line : report)
            through_module |= line.find("[tasklister]") != std::string::npos ||
                              line.find("[dirscan]") != std::string::npos ||
                              line.find("] 0x") != std::string::npos;
        const KernelOwnLeak* kernel_own = nullptr;
        for (const KernelOwnLeak& own : kernel_own_leaks)
            if (matches(report, own)) kernel_own = &own;
        if (kernel_own != nullptr)
            std::cout << "kmemleak: the kernel's own report, not failing: " << kernel_own->reason
                      << "\n";
        else if (through_module)
            for (const std::string& line : report) ours += "  " + line + "\n";
    }
    EXPECT_TRUE(ours.empty()) << "kmemleak reports through the modules:\n" << ours;
}

TEST(KernelBoot, TaintedOnlyByOutOfTreeUnsignedModules) {
    const GuestLog& log = main_log();
    ASSERT_TRUE(log.tainted.has_value()) << "no taint line\n" << console_tail(log);
    constexpr unsigned long out_of_tree = 1UL << 12;      // O
    constexpr unsigned long unsigned_module = 1UL << 13;  // E
    EXPECT_EQ(*log.tainted & ~(out_of_tree | unsigned_module), 0UL)
        << "taint " << *log.tainted << " has bits beyond O (4096) and E (8192)";
    EXPECT_NE(*log.tainted & out_of_tree, 0UL) << "no out-of-tree module was ever loaded";
}

}  // namespace
}  // namespace osf::kernel_test
