// boot_test: the health of the main test boot as a whole: the guest ran to its end on the
// paging layout it was booted for, the kernel logged no oops, BUG, warning, lockup or stall,
// and the only taints are the ones loading an out-of-tree, unsigned module brings.
#include <gtest/gtest.h>

#include <map>
#include <string>

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
    for (const std::string& name : names)
        EXPECT_NE(find_section(log, name), nullptr) << "no section " << name;
}

TEST(KernelBoot, PagingLayoutAsBooted) {
    // qemu.sh gives amd64-6.12 a processor with LA57, so that one kernel uses five levels.
    const std::map<std::string, std::string> booted = {{"686", "two-level"},
                                                       {"686-pae", "pae"},
                                                       {"amd64", "four-level"},
                                                       {"amd64-6.12", "five-level"},
                                                       {"amd64-backports", "four-level"}};
    ASSERT_TRUE(booted.contains(kernel_name())) << "unknown test kernel '" << kernel_name() << "'";
    EXPECT_EQ(paging_layout(main_log()), booted.at(kernel_name()))
        << "kernel " << main_log().release << " on " << main_log().machine;
}

TEST(KernelBoot, NoOopsBugWarningLockupOrStall) {
    const GuestLog& log = main_log();
    const char* const markers[] = {"Oops",
                                   "BUG:",
                                   "WARNING:",
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
