// registration_test: loads that must fail and leave nothing behind (a devname taken by the
// other module, no devname at all, one too long for a file name, each registration step made
// to fail by the test build's hook), 50 load and unload cycles, ioctls from several processes
// at once while others fork and exit, and nothing of the modules left at the end.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "boot_log.h"

namespace osf::kernel_test {
namespace {

const Section* boot_section() { return find_section(main_log(), "boot"); }

// The character devices, classes and modules `section` lists after its work are those that
// `then` (the section itself, or the boot's) listed before any; each list must be there.
void expect_registrations_unchanged(const Section& section, const Section& then) {
    for (const char* what : {"chardevs ", "classes ", "modules "}) {
        const auto before = find_value(then, std::string(what) + "before: ");
        ASSERT_TRUE(before.has_value()) << what << "before: missing\n" << describe(then);
        EXPECT_EQ(find_value(section, std::string(what) + "after: "), before) << what << "changed\n"
                                                                              << describe(section);
    }
}
void expect_registrations_unchanged(const Section& section) {
    expect_registrations_unchanged(section, section);
}

TEST(DuplicateDevname, SecondLoadFailsAtClassCreationWithENODEV) {
    OSF_SECTION(section, "duplicate_devname");
    const CommandRun first =
        find_command(*section, "insmod /lib/modules/tasklister.ko devname=dup");
    ASSERT_TRUE(first.found) << describe(*section);
    EXPECT_EQ(first.rc, 0) << describe(*section);
    const CommandRun second = find_command(*section, "modload /lib/modules/dirscan.ko devname=dup");
    ASSERT_TRUE(second.found) << describe(*section);
    EXPECT_EQ(second.output,
              std::vector<std::string>{"modload: /lib/modules/dirscan.ko: -19 (No such device)"});
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
    EXPECT_EQ(find_value(*section, "devices dup: ").value_or("").substr(0, 2), "1 ")
        << describe(*section);
}

TEST(DuplicateDevname, FirstModuleUntouchedAndFailedLoadUndone) {
    OSF_SECTION(section, "duplicate_devname");
    // One region named dup (the failed load gave its own back), the class, the node, one module.
    EXPECT_EQ(find_value(*section, "devices dup: ").value_or("").substr(0, 2), "1 ")
        << describe(*section);
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
    expect_registrations_unchanged(*section, *boot);
}

std::vector<std::string> texts_and_levels(const std::vector<KernelLine>& lines) {
    std::vector<std::string> shown;
    for (const KernelLine& line : lines) {
        const bool major = line.text.rfind("Major number allocated = ", 0) == 0;
        shown.push_back("<" + std::to_string(line.level) + ">" +
                        (major ? "Major number allocated = N" : line.text));
    }
    return shown;
}

// Each refused name: its load, and the error line it logs. A name /dev already has is found
// only once the class is made (so that a class clash stays one), after the init lines.
TEST(MissingDevname, RefusedWithEINVALAndNothingRegistered) {
    OSF_SECTION(section, "missing_devname");
    const char* const loads[][3] = {
        {"tasklister.ko", "", "Device name missing: load with devname=<name>"},
        {"dirscan.ko", " devname=", "Device name missing: load with devname=<name>"},
        {"tasklister.ko", " devname=.", "Device name invalid: . and .. name folders"},
        {"dirscan.ko", " devname=..", "Device name invalid: . and .. name folders"},
        {"tasklister.ko", " devname=a/b", "Device name invalid: no / in a file name"},
        {"dirscan.ko", " devname=null", "Device name taken: /dev/null exists"}};
    std::vector<std::string> expected;
    for (const auto& [module, argument, line] : loads) {
        const std::string ko = std::string("/lib/modules/") + module;
        const CommandRun run = find_command(*section, "modload " + ko + argument);
        ASSERT_TRUE(run.found) << ko << argument << "\n" << describe(*section);
        EXPECT_EQ(run.output,
                  std::vector<std::string>{"modload: " + ko + ": -22 (Invalid argument)"})
            << describe(*section);
        if (std::string_view(line).starts_with("Device name taken"))
            expected.insert(expected.end(),
                            {"<6>Initializing character device", "<6>Major number allocated = N"});
        expected.push_back(std::string("<3>") + line);
    }
    // One clear error line per refusal, and nothing else from the modules.
    EXPECT_EQ(texts_and_levels(module_lines(*section)), expected) << describe(*section);
    EXPECT_EQ(find_value(*section, "node /dev/null: "), "char 1 3") << describe(*section);
    expect_registrations_unchanged(*section);
}

// The lines of a section that start with `prefix`, in order.
std::vector<std::string> values(const Section& section, std::string_view prefix) {
    std::vector<std::string> found;
    for (const std::string& line : section.lines)
        if (line.rfind(prefix, 0) == 0) found.push_back(line.substr(prefix.size()));
    return found;
}

TEST(LongDevname, RefusedWithEINVALBeyondAFileNameAndNothingRegistered) {
    OSF_SECTION(section, "long_devname");
    const std::string name255(255, 'n');
    const CommandRun refused =
        find_command(*section, "modload /lib/modules/tasklister.ko devname=" + name255 + "x");
    ASSERT_TRUE(refused.found) << describe(*section, 20);
    EXPECT_EQ(refused.output, std::vector<std::string>{
                                  "modload: /lib/modules/tasklister.ko: -22 (Invalid argument)"});
    expect_registrations_unchanged(*section);
    // 255 bytes are a file name: that load works, node and all.
    const CommandRun accepted =
        find_command(*section, "modload /lib/modules/dirscan.ko devname=" + name255);
    ASSERT_TRUE(accepted.found) << describe(*section, 20);
    EXPECT_EQ(accepted.output, std::vector<std::string>{"modload: /lib/modules/dirscan.ko: 0"});
    EXPECT_EQ(values(*section, "node /dev/" + name255 + ": ").at(0).substr(0, 5), "char ");
    EXPECT_EQ(find_command(*section, "rmmod dirscan").rc, 0);
    const std::vector<std::string> expected = {
        "<3>Device name too long: at most 255 bytes", "<6>Initializing character device",
        "<6>Major number allocated = N", "<6>Exiting the character driver "};
    EXPECT_EQ(texts_and_levels(module_lines(*section)), expected) << describe(*section, 20);
}

// Each registration step, made to fail by the test build's fail_at=<step>: its log line and
// level (the device-number allocation's error is the hook's -EBUSY), then the undoing.
struct FailingStep {
    const char* step;
    const char* line;  // with its level, as texts_and_levels() shows it
    bool major_known;  // whether the major number was logged before the failure
};
constexpr FailingStep kFailingSteps[] = {
    {"alloc_chrdev_region", "<6>Device number allocation failed: -16", false},
    {"cdev_alloc", "<6>cdev_alloc failed ", true},
    {"cdev_add", "<3>cdev_add failed ", true},
    {"class_create", "<3>class_create() failed ", true},
    {"device_create", "<3>device_create() failed ", true},
};

// A step in a module; shown as module_step in the test's name.
struct FailureCase {
    const char* module;
    FailingStep step;
};
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.module << "_" << c.step.step; }

std::vector<FailureCase> failure_cases() {
    std::vector<FailureCase> cases;
    for (const char* module : {"tasklister", "dirscan"})
        for (const FailingStep& step : kFailingSteps) cases.push_back({module, step});
    return cases;
}

class FailurePath : public testing::TestWithParam<FailureCase> {};

TEST_P(FailurePath, LogsItsLineReturnsENODEVUndoesEverythingThenANormalLoadWorks) {
    const std::string module = GetParam().module;
    const FailingStep& step = GetParam().step;
    OSF_SECTION(section, "fail_" + module + "_" + step.step);
    const std::string test_ko = "/lib/modules/test/" + module + ".ko";
    const CommandRun load =
        find_command(*section, "modload " + test_ko + " devname=fip fail_at=" + step.step);
    ASSERT_TRUE(load.found) << describe(*section);
    EXPECT_EQ(load.output,
              std::vector<std::string>{"modload: " + test_ko + ": -19 (No such device)"});
    // Nothing left: no region, class or node, the same registrations as before.
    expect_registrations_unchanged(*section);
    EXPECT_EQ(find_value(*section, "devices fip: "), "0 ") << describe(*section);
    EXPECT_EQ(find_value(*section, "class fip: "), "absent") << describe(*section);
    const auto nodes = values(*section, "node /dev/fip: ");
    ASSERT_EQ(nodes.size(), 2U) << describe(*section);
    EXPECT_EQ(nodes[0], "absent");
    // Then the installed module loads, makes its node and unloads.
    EXPECT_EQ(find_command(*section, "insmod /lib/modules/" + module + ".ko devname=fip").rc, 0)
        << describe(*section);
    EXPECT_EQ(nodes[1].substr(0, 5), "char ") << describe(*section);
    EXPECT_EQ(find_command(*section, "rmmod " + module).rc, 0) << describe(*section);
    std::vector<std::string> expected = {"<6>Initializing character device"};
    if (step.major_known) expected.emplace_back("<6>Major number allocated = N");
    expected.insert(expected.end(),
                    {step.line, "<6>Initializing character device", "<6>Major number allocated = N",
                     "<6>Exiting the character driver "});
    EXPECT_EQ(texts_and_levels(module_lines(*section)), expected) << describe(*section);
}

INSTANTIATE_TEST_SUITE_P(EachStep, FailurePath, testing::ValuesIn(failure_cases()));

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

// Ten under a debugging kernel, whose every unload waits for a delayed release (debug.sh).
TEST(Stress, FiftyLoadUnloadCycles) {
    OSF_SECTION(section, "cycles");
    const int cycles = is_debugging_kernel() ? 10 : 50;
    EXPECT_EQ(find_value(*section, "cycles passed: "),
              std::to_string(cycles) + " of " + std::to_string(cycles))
        << describe(*section);
    EXPECT_EQ(count_lines(*section, 6, "Initializing character device"), cycles);
    EXPECT_EQ(count_lines(*section, 6, "Exiting the character driver "), cycles);
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
    expect_registrations_unchanged(*section, *boot);
}

}  // namespace
}  // namespace osf::kernel_test
