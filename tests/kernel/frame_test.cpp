// frame_test: the character-device frame, in each of the two modules (each .ko carries its
// own build of it): loading logs the init lines and makes the region, class and /dev node;
// open and release log; read and write fail; unloading logs its line and removes everything.
#include <gtest/gtest.h>

#include <string>

#include "boot_log.h"

namespace osf::kernel_test {
namespace {

class Frame : public testing::TestWithParam<const char*> {
protected:
    std::string section_name() const { return std::string("frame_") + GetParam(); }
};

// The lines of a section between two "@@ step" markers (or its start / end).
std::vector<std::string> step_lines(const Section& section, std::string_view step) {
    std::vector<std::string> lines;
    bool inside = step.empty();
    for (const std::string& line : section.lines) {
        if (line.rfind("@@ step ", 0) == 0) {
            inside = line.substr(8) == step;
            continue;
        }
        if (inside) lines.push_back(line);
    }
    return lines;
}

bool contains(const std::vector<std::string>& lines, std::string_view text) {
    for (const std::string& line : lines)
        if (line == text) return true;
    return false;
}

TEST_P(Frame, LoadLogsAndRegistersUnloadLogsAndRemoves) {
    OSF_SECTION(section, section_name());
    const CommandRun insmod = find_command(
        *section, std::string("insmod /lib/modules/") + GetParam() + ".ko devname=foo");
    ASSERT_TRUE(insmod.found) << describe(*section);
    EXPECT_EQ(insmod.rc, 0) << describe(*section);

    const std::vector<KernelLine> lines = module_lines(*section);
    ASSERT_GE(lines.size(), 2U) << describe(*section);
    EXPECT_EQ(lines[0].level, 6);
    EXPECT_EQ(lines[0].text, "Initializing character device");
    EXPECT_EQ(lines[1].level, 6);
    const std::string major_prefix = "Major number allocated = ";
    ASSERT_EQ(lines[1].text.rfind(major_prefix, 0), 0U) << describe(*section);
    const int major = std::stoi(lines[1].text.substr(major_prefix.size()));

    // While loaded (before the first step): the node with that major, the class, the region.
    const auto loaded = step_lines(*section, "");
    char node[64];
    std::snprintf(node, sizeof node, "node /dev/foo: char %x 0", major);
    EXPECT_TRUE(contains(loaded, node)) << "expected '" << node << "'\n" << describe(*section);
    EXPECT_TRUE(contains(loaded, "class foo: present")) << describe(*section);
    EXPECT_TRUE(contains(loaded, "parameter file: absent")) << "devname shown under sysfs";
    EXPECT_TRUE(contains(loaded, "devices foo: 1 " + std::to_string(major) + " "))
        << describe(*section);

    // After rmmod: the exit line last, and nothing left.
    const auto unloaded = step_lines(*section, "unload");
    EXPECT_TRUE(contains(unloaded, "rc=0")) << describe(*section);
    EXPECT_TRUE(contains(unloaded, "node /dev/foo: absent")) << describe(*section);
    EXPECT_TRUE(contains(unloaded, "class foo: absent")) << describe(*section);
    EXPECT_TRUE(contains(unloaded, "devices foo: 0 ")) << describe(*section);
    EXPECT_EQ(lines.back().level, 6);
    EXPECT_EQ(lines.back().text, "Exiting the character driver ") << describe(*section);
}

TEST_P(Frame, EveryOpenAndCloseLoggedAndNothingElse) {
    OSF_SECTION(section, section_name());
    // Two opens (plain, then read and write), each with its release; no ioctl, so no table.
    const std::vector<KernelLine> lines = module_lines(*section);
    const std::vector<std::string> expected = {"Initializing character device",
                                               lines.size() > 1 ? lines[1].text : "(major line)",
                                               "Open successful",
                                               "File released",
                                               "Open successful",
                                               "File released",
                                               "Exiting the character driver "};
    std::vector<std::string> texts;
    for (const KernelLine& line : lines) {
        texts.push_back(line.text);
        EXPECT_EQ(line.level, 6) << line.text;
    }
    EXPECT_EQ(texts, expected) << describe(*section);
    const CommandRun open_close = find_command(*section, "ioctl_trigger /dev/foo");
    ASSERT_TRUE(open_close.found) << describe(*section);
    EXPECT_EQ(open_close.rc, 0) << describe(*section);
}

TEST_P(Frame, ReadAndWriteFailAsForAnAbsentOperation) {
    OSF_SECTION(section, section_name());
    const CommandRun run = find_command(*section, "ioctl_trigger /dev/foo read write");
    ASSERT_TRUE(run.found) << describe(*section);
    ASSERT_EQ(run.output.size(), 3U) << describe(*section);
    const std::string pid = run.output[0].substr(run.output[0].rfind(' ') + 1);
    EXPECT_EQ(run.output[1], "read (tid " + pid + "): -1 errno 22 (Invalid argument)");
    EXPECT_EQ(run.output[2], "write (tid " + pid + "): -1 errno 22 (Invalid argument)");
    EXPECT_EQ(run.rc, 1);
}

INSTANTIATE_TEST_SUITE_P(Modules, Frame, testing::Values("tasklister", "dirscan"));

}  // namespace
}  // namespace osf::kernel_test
