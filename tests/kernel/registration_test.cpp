// registration_test: loads that must fail and leave nothing behind (a devname taken by the
// other module, no devname at all), 50 load and unload cycles, ioctls from several processes
// at once while others fork and exit, and nothing of the modules left at the end.
#include <gtest/gtest.h>

#include <string>

#include "boot_log.h"

namespace osf::kernel_test {
namespace {

const Section* boot_section() { return find_section(main_log(), "boot"); }

TEST(DuplicateDevname, SecondLoadFailsAtClassCreationWithENODEV) {
    OSF_SECTION(section, "duplicate_devname");
    const CommandRun first = find_command(*section, "insmod /lib/modules/tasklister.ko devname=dup");
    ASSERT_TRUE(first.found) << describe(*section);
    EXPECT_EQ(first.rc, 0) << describe(*section);
    const CommandRun second = find_command(*section, "modload /lib/modules/dirscan.ko devname=dup");
    ASSERT_TRUE(second.found) << describe(*section);
    EXPECT_EQ(second.output, std::vector<std::string>{
                                 "modload: /lib/modules/dirscan.ko: -19 (No such device)"});
    EXPECT_EQ(count_lines(*section, 3, "class_create() failed "), 1) << describe(*section);
    // The kernel's own complaint about the duplicate sysfs name (a stack dump, not a warning).
    bool duplicate_reported = false;
    for (const KernelLine& line : section->kernel)
        duplicate_reported |= line.text == "sysfs: cannot create duplicate filename '/class/dup'";
    EXPECT_TRUE(duplicate_reported) << describe(*section);
}

TEST(DuplicateDevname, InsmodReportsENODEV) {
    OSF_SECTION(section, "duplicate_devname_insmod");
    EXPECT_EQ(find_command(*section, "insmod /lib/modules/tasklister.ko devname=dup").rc, 0);
    const CommandRun second = find_command(*section, "insmod /lib/modules/dirscan.ko devname=dup");
    ASSERT_TRUE(second.found) << describe(*section);
    EXPECT_EQ(second.output, std::vector<std::string>{
                                 "insmod: can't insert '/lib/modules/dirscan.ko': No such device"});
    EXPECT_EQ(second.rc, 19) << "busybox's insmod exits with the error number";
    EXPECT_GE(count_lines(*section, 3, "class_create() failed "), 1) << describe(*section);
    EXPECT_EQ(find_value(*section, "devices dup: ").value_or("").substr(0, 2), "1 ") << describe(*section);
}

TEST(DuplicateDevname, FirstModuleUntouchedAndFailedLoadUndone) {
    OSF_SECTION(section, "duplicate_devname");
    // One region named dup (the failed load gave its own back), the class, the node, one module.
    EXPECT_EQ(find_value(*section, "devices dup: ").value_or("").substr(0, 2), "1 ") << describe(*section);
    EXPECT_EQ(find_value(*section, "class dup: "), "present");
    EXPECT_EQ(find_value(*section, "node /dev/dup: ").value_or("").substr(0, 5), "char ");
    EXPECT_EQ(find_value(*section, "modules during: "), "tasklister ");
    const CommandRun ioctl = find_command(*section, "ioctl_trigger /dev/dup 0");
    ASSERT_TRUE(ioctl.found) << describe(*section);
    EXPECT_EQ(ioctl.rc, 0);
    const auto tables = task_tables(section->kernel);
    ASSERT_EQ(tables.size(), 1U) << describe(*section);
    EXPECT_TRUE(tables[0].problems.empty());
    EXPECT_EQ(find_command(*section, "rmmod tasklister").rc, 0);
    const Section* boot = boot_section();
    ASSERT_NE(boot, nullptr);
    for (const char* what : {"chardevs ", "classes ", "modules "})
        EXPECT_EQ(find_value(*section, std::string(what) + "after: "),
                  find_value(*boot, std::string(what) + "before: "))
            << what << "differ from before any module was loaded";
}

TEST(MissingDevname, RefusedWithEINVALAndNothingRegistered) {
    OSF_SECTION(section, "missing_devname");
    const char* const loads[][2] = {
        {"modload /lib/modules/tasklister.ko", "modload: /lib/modules/tasklister.ko: -22 (Invalid argument)"},
        {"modload /lib/modules/dirscan.ko devname=", "modload: /lib/modules/dirscan.ko: -22 (Invalid argument)"}};
    for (const auto& [command, answer] : loads) {
        const CommandRun run = find_command(*section, command);
        ASSERT_TRUE(run.found) << command << "\n" << describe(*section);
        EXPECT_EQ(run.output, std::vector<std::string>{answer}) << describe(*section);
    }
    // One clear error line per refusal, and nothing else from the modules.
    const auto lines = module_lines(*section);
    ASSERT_EQ(lines.size(), 2U) << describe(*section);
    for (const KernelLine& line : lines) {
        EXPECT_EQ(line.level, 3);
        EXPECT_EQ(line.text, "Device name missing: load with devname=<name>");
    }
    for (const char* what : {"chardevs ", "classes ", "modules "})
        EXPECT_EQ(find_value(*section, std::string(what) + "after: "),
                  find_value(*section, std::string(what) + "before: "))
            << what << "changed\n" << describe(*section);
}

TEST(Unload, RefusedWhileTheNodeIsOpen) {
    OSF_SECTION(section, "dirscan_table");
    // The first rmmod comes while another process holds /dev/ds open, the second after it ended.
    const CommandRun busy = find_command(*section, "rmmod dirscan", 0);
    const CommandRun later = find_command(*section, "rmmod dirscan", 1);
    ASSERT_TRUE(busy.found && later.found) << describe(*section);
    EXPECT_NE(busy.rc, 0) << "unloaded while the node was open\n" << describe(*section);
    EXPECT_EQ(later.rc, 0) << describe(*section);
    std::vector<std::string> nodes;
    for (const std::string& line : section->lines)
        if (line.rfind("node /dev/ds: ", 0) == 0) nodes.push_back(line.substr(14, 5));
    EXPECT_EQ(nodes, (std::vector<std::string>{"char ", "absen"})) << describe(*section);
}

TEST(Stress, FiftyLoadUnloadCycles) {
    OSF_SECTION(section, "cycles");
    EXPECT_EQ(find_value(*section, "cycles passed: "), "50 of 50") << describe(*section);
    EXPECT_EQ(count_lines(*section, 6, "Initializing character device"), 50);
    EXPECT_EQ(count_lines(*section, 6, "Exiting the character driver "), 50);
    EXPECT_EQ(find_value(*section, "devices cyc: "), "0 ");
    EXPECT_EQ(find_value(*section, "class cyc: "), "absent");
    EXPECT_EQ(find_value(*section, "node /dev/cyc: "), "absent");
}

TEST(Stress, ConcurrentIoctlsWhileProcessesForkAndExit) {
    OSF_SECTION(section, "concurrent");
    for (const char* caller : {"caller 1: ", "caller 2: ", "caller 3: "}) {
        const std::string output = find_value(*section, caller).value_or("");
        EXPECT_TRUE(output.ends_with("|rc=0|")) << caller << output;
    }
    // 7 + 5 ioctls on tasklister, 6 on dirscan: a table for each.
    EXPECT_EQ(count_lines(*section, 6, "Open My_ioctl successful "), 12);
    int counts = 0;
    for (const KernelLine& line : section->kernel) counts += line.text.rfind("count : ", 0) == 0;
    EXPECT_EQ(counts, 6);
    EXPECT_EQ(find_command(*section, "rmmod tasklister").rc, 0) << describe(*section);
    EXPECT_EQ(find_command(*section, "rmmod dirscan").rc, 0) << describe(*section);
}

TEST(Leftovers, NothingLeftInDevicesClassesOrModules) {
    OSF_SECTION(section, "leftovers");
    const Section* boot = boot_section();
    ASSERT_NE(boot, nullptr);
    for (const char* what : {"chardevs ", "classes ", "modules "}) {
        const auto before = find_value(*boot, std::string(what) + "before: ");
        ASSERT_TRUE(before.has_value()) << describe(*boot);
        EXPECT_EQ(find_value(*section, std::string(what) + "after: "), before) << what;
    }
}

}  // namespace
}  // namespace osf::kernel_test
