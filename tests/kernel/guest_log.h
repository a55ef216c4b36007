// guest_log: reads what the kernel test guest printed on its serial console (boot.sh writes it
// to a file) and splits it the way the guest's scripts wrote it (guest/lib.sh): sections of
// command output, each closed by the raw kernel log written meanwhile, plus the guest's
// status lines. Also parses the modules' tables out of a section's kernel log.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osf::kernel_test {

// One kernel log line as `dmesg -r` prints it: "<6>[    7.69] text".
struct KernelLine {
    int level = -1;
    std::string text;
};
std::optional<KernelLine> parse_kernel_line(std::string_view line);

struct Section {
    std::string name;
    std::vector<std::string> lines;  // what its commands printed ("@@ step" lines included)
    std::vector<KernelLine> kernel;  // the kernel log read at its end
};

struct GuestLog {
    std::vector<std::string> console;  // every line, carriage returns removed
    std::vector<Section> sections;
    // A log may hold the consoles of several boots of one kernel, one after the other.
    bool finished = false;                 // every boot's final status line came
    std::optional<unsigned long> tainted;  // every taint any boot showed
    int default_level = -1;                // the kernel's level for lines logged without one
    std::string release;                   // the guest kernel's release (uname -r)
    std::string machine;                   // its machine (uname -m): i686 or x86_64
    bool la57 = false;                     // whether the processor shows LA57 (five-level paging)
};
GuestLog parse_guest_log(std::string_view text);
// The paging layout the guest kernel used, from its release, machine and LA57: "two-level"
// (686), "pae" (686-pae), "four-level" or "five-level" (x86-64); empty if the log lacks them.
std::string paging_layout(const GuestLog& log);
// Reads and parses a log file; an unreadable file gives an empty log.
GuestLog load_guest_log(const std::string& path);

const Section* find_section(const GuestLog& log, std::string_view name);

// "$ COMMAND" in a section: the lines it printed and its status (the n-th run of it).
struct CommandRun {
    bool found = false;
    std::vector<std::string> output;
    int rc = -1;
};
CommandRun find_command(const Section& section, std::string_view command, int occurrence = 0);

// The rest of the first line of the section that starts with `prefix`.
std::optional<std::string> find_value(const Section& section, std::string_view prefix);

// Space-separated numbers ("procs before: 1 2 3").
std::vector<int> parse_numbers(std::string_view text);

// The section for a failure message: its lines and kernel log, at most `limit` lines.
std::string describe(const Section& section, std::size_t limit = 150);
// The last `limit` console lines.
std::string console_tail(const GuestLog& log, std::size_t limit = 120);

// tasklister's tables: "Open My_ioctl successful " starts one; `problems` lists every line of
// it that is not in the exact format at the exact level.
struct TaskRow {
    int pid = -1;
    int ppid = -1;
    int lwpid = -1;
    std::string comm;
};
struct TaskTable {
    std::vector<TaskRow> rows;
    std::vector<std::string> problems;
};
std::vector<TaskTable> task_tables(const std::vector<KernelLine>& kernel);

// dirscan's tables: the "PGD[...]" lines up to a "count : N " line, and the two lines after it.
// An entry line is "PGD[%4d] : %08llx " (at least eight hex digits); `widest` is the longest
// address any entry line showed, in digits.
struct DirEntry {
    int index = -1;
    unsigned long long address = 0;
};
struct DirTable {
    std::vector<DirEntry> entries;
    int count = -1;
    std::size_t widest = 0;
    std::vector<std::string> problems;
};
std::vector<DirTable> dir_tables(const std::vector<KernelLine>& kernel, int default_level);

}  // namespace osf::kernel_test
