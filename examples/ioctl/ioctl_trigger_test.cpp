// ioctl_trigger on the host, against /dev/null (which has read and write but no ioctl of its
// own): the result lines the kernel test bed parses, the exit statuses, and the refusals.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "process.h"

namespace {

using osf::test::exited_with;
using osf::test::run;

struct Case {
    std::vector<std::string> args;
    std::string out;  // a regular expression for the whole of standard output
    std::string err;  // a regular expression for the whole of standard error
    int status;
};

TEST(IoctlTrigger, ResultLinesAndStatuses) {
    const std::string pid = "ioctl_trigger: pid ([0-9]+)\n";
    const Case cases[] = {
        {{}, "", "usage: ioctl_trigger DEVICE .*\n", 2},
        {{"/nonexistent/node"},
         "",
         "ioctl_trigger: open /nonexistent/node: No such file or directory\n",
         2},
        {{"/dev/null"}, pid, "", 0},
        {{"/dev/null", "read", "write"},
         pid + "read \\(tid \\1\\): 0\nwrite \\(tid \\1\\): 1\n",
         "",
         0},
        // 0x5401 asks for terminal settings: /dev/null is no terminal.
        {{"/dev/null", "0x5401"},
         pid + "ioctl 21505 \\(tid \\1\\): -1 errno 25 \\(Inappropriate ioctl for device\\)\n",
         "",
         1},
        {{"/dev/null", "wait:10", "read"},
         pid + "wait:10 \\(tid \\1\\): 0\nread \\(tid \\1\\): 0\n",
         "",
         0},
        {{"/dev/null", "4294967296"}, pid, "ioctl_trigger: unknown action '4294967296'\n", 2},
        {{"/dev/null", "thread:"}, pid, "ioctl_trigger: unknown action 'thread:'\n", 2},
        {{"/dev/null", "-1"}, pid, "ioctl_trigger: unknown action '-1'\n", 2},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {IOCTL_TRIGGER_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto result = run(argv, "");
        const std::string what = testing::PrintToString(c.args);
        EXPECT_TRUE(std::regex_match(result.out, std::regex(c.out))) << what << ": " << result.out;
        EXPECT_TRUE(std::regex_match(result.err, std::regex(c.err))) << what << ": " << result.err;
        EXPECT_TRUE(exited_with(result.status, c.status))
            << what << ": " << osf::test::describe_status(result.status);
    }
}

// Whether `child` has taken all that was written to its input and sleeps again, by the
// kernel's account (the pipe's unread bytes, the process's state); false once it has ended.
bool took_the_input_and_sleeps(osf::test::Child& child) {
    const std::string stat_path = "/proc/" + std::to_string(child.pid) + "/stat";
    bool sleeps = false;
    osf::test::eventually([&] {
        int unread = -1;
        std::ifstream stat(stat_path);
        std::string line;
        std::getline(stat, line);
        const size_t state = line.rfind(") ");
        sleeps = ::ioctl(child.in, FIONREAD, &unread) == 0 && unread == 0 &&
                 state != std::string::npos && line.compare(state + 2, 1, "S") == 0;
        return sleeps || child.ended();
    });
    return sleeps;
}

TEST(IoctlTrigger, HoldKeepsTheNodeOpenUntilALineComes) {
    osf::test::Child child = osf::test::spawn({IOCTL_TRIGGER_PATH, "/dev/null", "hold", "read"});
    child.read_until(child.out, "\n");
    child.write("go");  // a line begun: hold has read it and waits on for its end
    ASSERT_TRUE(took_the_input_and_sleeps(child)) << "ended while it should hold";
    EXPECT_EQ(child.read_for(child.out, osf::test::milliseconds(0)), "") << "did not hold";
    child.write("\n");
    const std::string rest = child.read_to_eof(child.out);
    EXPECT_TRUE(
        std::regex_match(rest, std::regex("hold \\(tid [0-9]+\\): 0\nread \\(tid [0-9]+\\): 0\n")))
        << rest;
    EXPECT_TRUE(exited_with(child.wait(), 0));
}

TEST(IoctlTrigger, ThreadActionRunsOnAnotherThread) {
    const auto result = run({IOCTL_TRIGGER_PATH, "/dev/null", "thread:0x5401", "0x5401"}, "");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(result.out, m,
                                 std::regex("ioctl_trigger: pid ([0-9]+)\n"
                                            "ioctl 21505 \\(tid ([0-9]+)\\): -1 errno 25 .*\n"
                                            "ioctl 21505 \\(tid ([0-9]+)\\): -1 errno 25 .*\n")))
        << result.out;
    EXPECT_NE(m[2], m[1]) << "the thread: action ran on the main thread";
    EXPECT_EQ(m[3], m[1]) << "a plain action ran off the main thread";
}

}  // namespace
