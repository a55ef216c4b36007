// tasklister_test: the process table tasklister logs on an ioctl: the exact header and line
// format at info level, one line per process (pid equal to lwpid, a process of several threads
// once), the idle task's ids 0, ring order ending with the caller, every process /proc listed,
// the same table for any ioctl number, and a complete table for a caller that is a secondary
// thread or, on a 64-bit kernel, a 32-bit program.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "boot_log.h"

namespace osf::kernel_test {
namespace {

// The process id ioctl_trigger printed in a command's output ("ioctl_trigger: pid N").
int trigger_pid(const CommandRun& run) {
    for (const std::string& line : run.output)
        if (line.rfind("ioctl_trigger: pid ", 0) == 0) return std::stoi(line.substr(19));
    return -1;
}

// The processes /proc listed both before and after the ioctl: they lived all through it.
std::set<int> lasting_processes(const Section& section) {
    const auto before = parse_numbers(find_value(section, "procs before: ").value_or(""));
    const auto after = parse_numbers(find_value(section, "procs after: ").value_or(""));
    std::set<int> lasting;
    for (const int pid : before)
        if (std::find(after.begin(), after.end(), pid) != after.end()) lasting.insert(pid);
    return lasting;
}

std::string show_rows(const TaskTable& table) {
    std::string text;
    for (const TaskRow& row : table.rows)
        text += "  " + std::to_string(row.pid) + " " + std::to_string(row.ppid) + " " +
                std::to_string(row.lwpid) + " " + row.comm + "\n";
    return text;
}

// The checks every table must pass, whoever called: format, pid == lwpid, one idle line, the
// calling process (pid `caller`, started by the section's shell) last under its own name,
// every lasting process present.
void check_table(const TaskTable& table, int caller, const Section& section,
                 const std::string& caller_name = "ioctl_trigger") {
    const std::set<int> lasting = lasting_processes(section);
    const int shell = std::stoi(find_value(section, "shell pid ").value_or("-1"));
    EXPECT_TRUE(table.problems.empty()) << testing::PrintToString(table.problems);
    ASSERT_FALSE(table.rows.empty());
    int idle = 0;
    std::set<int> listed;
    for (const TaskRow& row : table.rows) {
        EXPECT_EQ(row.pid, row.lwpid) << "a line for a thread, not a process: " << row.comm;
        idle += row.pid == 0 && row.ppid == 0 && row.lwpid == 0;
        EXPECT_TRUE(listed.insert(row.pid).second) << "pid " << row.pid << " listed twice";
    }
    EXPECT_EQ(idle, 1) << "expected one line with the idle task's ids 0\n" << show_rows(table);
    const TaskRow& last = table.rows.back();
    EXPECT_EQ(last.pid, caller) << show_rows(table);
    EXPECT_EQ(last.lwpid, caller);
    EXPECT_EQ(last.ppid, shell) << "the caller's parent is the guest's shell";
    EXPECT_EQ(last.comm, caller_name);
    for (const int pid : lasting)
        EXPECT_TRUE(listed.contains(pid)) << "process " << pid << " is missing\n"
                                          << show_rows(table);
}

TEST(Tasklister, TableForAnyIoctlNumberInExactFormat) {
    OSF_SECTION(section, "tasklister_table");
    const CommandRun run = find_command(*section, "ioctl_trigger /dev/tl 0 4294967295");
    ASSERT_TRUE(run.found) << describe(*section);
    EXPECT_EQ(run.rc, 0) << describe(*section);
    const auto tables = task_tables(section->kernel);
    ASSERT_EQ(tables.size(), 2U) << "one table per ioctl\n" << describe(*section);
    for (const TaskTable& table : tables) check_table(table, trigger_pid(run), *section);
}

TEST(Tasklister, SameTableWhateverTheNumber) {
    OSF_SECTION(section, "tasklister_table");
    const auto tables = task_tables(section->kernel);
    ASSERT_EQ(tables.size(), 2U) << describe(*section);
    // Processes that came or went between the two ioctls aside, the tables are the same.
    const std::set<int> lasting = lasting_processes(*section);
    auto stable = [&](const TaskTable& table) {
        std::vector<std::string> rows;
        for (const TaskRow& row : table.rows)
            if (row.pid == 0 || lasting.contains(row.pid) || &row == &table.rows.back())
                rows.push_back(std::to_string(row.pid) + " " + std::to_string(row.ppid) + " " +
                               row.comm);
        return rows;
    };
    EXPECT_EQ(stable(tables[0]), stable(tables[1]));
}

TEST(Tasklister, RingOrderFromAfterTheCallerRoundToIt) {
    OSF_SECTION(section, "tasklister_table");
    const CommandRun run = find_command(*section, "ioctl_trigger /dev/tl 0 4294967295");
    const int caller = trigger_pid(run);
    const auto tables = task_tables(section->kernel);
    ASSERT_FALSE(tables.empty()) << describe(*section);
    // In a young system process ids grow with creation: the processes created after the
    // caller, the idle task, those created before it, then the caller.
    const auto& rows = tables[0].rows;
    const auto idle =
        std::find_if(rows.begin(), rows.end(), [](const TaskRow& r) { return r.pid == 0; });
    ASSERT_NE(idle, rows.end());
    for (auto row = rows.begin(); row != idle; ++row)
        EXPECT_GT(row->pid, caller) << show_rows(tables[0]);
    // From the row after the idle task's to the last but one (none if idle is the last row).
    for (auto row = std::next(idle); row != rows.end() && std::next(row) != rows.end(); ++row) {
        EXPECT_LT(row->pid, caller) << show_rows(tables[0]);
        EXPECT_LT(row->pid, (row + 1)->pid) << "not in creation order\n" << show_rows(tables[0]);
    }
}

TEST(Tasklister, SecondaryThreadCallerGetsCompleteTable) {
    OSF_SECTION(section, "tasklister_thread");
    const CommandRun run = find_command(*section, "ioctl_trigger /dev/tl thread:0");
    ASSERT_TRUE(run.found) << describe(*section);
    ASSERT_EQ(run.rc, 0) << "the ioctl from the second thread did not succeed\n"
                         << describe(*section);
    const int caller = trigger_pid(run);
    ASSERT_EQ(run.output.size(), 2U) << describe(*section);
    EXPECT_EQ(run.output[1].find("ioctl 0 (tid " + std::to_string(caller) + ")"), std::string::npos)
        << "the ioctl ran on the main thread, not a second one";
    const auto tables = task_tables(section->kernel);
    ASSERT_EQ(tables.size(), 1U) << describe(*section);
    // The walk ends at the thread-group leader's line: the process, not the thread.
    check_table(tables[0], caller, *section);
}

TEST(Tasklister, ThreadedProcessListedOnceAsItsMainThread) {
    OSF_SECTION(section, "tasklister_table");
    // "threads: pid P, thread ids A B C", and the ids /proc/P/task listed: P, A, B and C.
    const std::string started = find_value(*section, "threads: pid ").value_or("");
    const auto comma = started.find(", thread ids ");
    ASSERT_NE(comma, std::string::npos) << describe(*section);
    const int pid = std::stoi(started.substr(0, comma));
    const auto threads = parse_numbers(std::string_view(started).substr(comma + 13));
    ASSERT_EQ(threads.size(), 3U) << started;
    const auto tasks =
        parse_numbers(find_value(*section, "tasks of the threaded process: ").value_or(""));
    EXPECT_EQ(tasks.size(), 4U) << "the process does not have its four threads\n"
                                << describe(*section);
    const auto tables = task_tables(section->kernel);
    ASSERT_FALSE(tables.empty()) << describe(*section);
    for (const TaskTable& table : tables) {
        int lines = 0;
        for (const TaskRow& row : table.rows) {
            lines += row.pid == pid;
            for (const int thread : threads)
                EXPECT_TRUE(row.pid != thread && row.lwpid != thread)
                    << "a line for thread " << thread << "\n"
                    << show_rows(table);
        }
        EXPECT_EQ(lines, 1) << "process " << pid << "\n" << show_rows(table);
    }
}

TEST(Tasklister, ThirtyTwoBitCallerOnA64BitKernel) {
    if (!is_64_bit(main_log())) GTEST_SKIP() << "a 32-bit kernel has no 32-bit compatibility path";
    OSF_SECTION(section, "compat_caller");
    const CommandRun run = find_command(*section, "ioctl_trigger32 /dev/tl 0");
    ASSERT_TRUE(run.found) << describe(*section);
    EXPECT_EQ(run.rc, 0) << "the ioctl of a 32-bit program failed\n" << describe(*section);
    const auto tables = task_tables(section->kernel);
    ASSERT_EQ(tables.size(), 1U) << describe(*section);
    check_table(tables[0], trigger_pid(run), *section, "ioctl_trigger32");
}

}  // namespace
}  // namespace osf::kernel_test
