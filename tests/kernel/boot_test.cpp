// boot_test: the health of the main test boot as a whole: the guest ran to its end, the kernel
// logged no oops, BUG, warning, lockup or stall, and the only taints are the ones loading an
// out-of-tree, unsigned module brings.
#include <gtest/gtest.h>

#include "boot_log.h"

namespace osf::kernel_test {
namespace {

TEST(KernelBoot, GuestRanEveryScenarioAndFinished) {
    const GuestLog& log = main_log();
    ASSERT_FALSE(log.console.empty()) << "no console output in " << KERNEL_MAIN_LOG;
    EXPECT_TRUE(log.finished) << "the guest's final status line is missing\n" << console_tail(log);
    for (const char* name : {"boot", "frame_tasklister", "frame_dirscan", "tasklister_table",
                             "tasklister_thread", "dirscan_table", "duplicate_devname",
                             "duplicate_devname_insmod",
                             "missing_devname", "cycles", "concurrent", "leftovers"})
        EXPECT_NE(find_section(log, name), nullptr) << "no section " << name;
}

TEST(KernelBoot, NoOopsBugWarningLockupOrStall) {
    const GuestLog& log = main_log();
    const char* const markers[] = {"Oops",          "BUG:",        "WARNING:",
                                   "Kernel panic",  "kernel BUG",  "general protection fault",
                                   "Unable to handle", "soft lockup", "hard LOCKUP",
                                   "detected stalls",  "blocked for more than"};
    std::string found;
    for (const std::string& line : log.console)
        for (const char* marker : markers)
            if (line.find(marker) != std::string::npos) found += "  " + line + "\n";
    EXPECT_TRUE(found.empty()) << "the kernel reported trouble:\n" << found << console_tail(log);
}

TEST(KernelBoot, TaintedOnlyByOutOfTreeUnsignedModules) {
    const GuestLog& log = main_log();
    ASSERT_TRUE(log.tainted.has_value()) << "no taint line\n" << console_tail(log);
    constexpr unsigned long out_of_tree = 1UL << 12;  // O
    constexpr unsigned long unsigned_module = 1UL << 13;  // E
    EXPECT_EQ(*log.tainted & ~(out_of_tree | unsigned_module), 0UL)
        << "taint " << *log.tainted << " has bits beyond O (4096) and E (8192)";
    EXPECT_NE(*log.tainted & out_of_tree, 0UL) << "no out-of-tree module was ever loaded";
}

}  // namespace
}  // namespace osf::kernel_test
