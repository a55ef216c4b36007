// dirscan_test: the page directory dirscan logs on an ioctl: entry lines in the exact format
// at the kernel's default level, in index order; the count equal to the entry lines, then the
// lowmem and highmem lines; the kernel's entries the same for two processes, the user
// entries each process's own.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "boot_log.h"

namespace osf::kernel_test {
namespace {

// 3 GiB of user space, 4 MiB per entry: entries from 768 up map the kernel.
constexpr int kFirstKernelEntry = 768;
// ioctl_trigger is a static, not position-independent i386 program: its code is at 0x08048000.
constexpr int kProgramCodeEntry = 0x08048000 >> 22;

std::vector<DirTable> tables_of(const Section& section) {
    return dir_tables(section.kernel, main_log().default_level);
}

std::map<int, unsigned long> entries(const DirTable& table, bool kernel) {
    std::map<int, unsigned long> result;
    for (const DirEntry& entry : table.entries)
        if ((entry.index >= kFirstKernelEntry) == kernel) result[entry.index] = entry.address;
    return result;
}

TEST(Dirscan, EntriesInExactFormatAndOrderThenCount) {
    OSF_SECTION(section, "dirscan_table");
    ASSERT_EQ(main_log().default_level, 4) << "the guest did not report the default level";
    const CommandRun run = find_command(*section, "ioctl_trigger /dev/ds 7");
    ASSERT_TRUE(run.found) << describe(*section);
    EXPECT_EQ(run.rc, 0) << describe(*section);
    const std::string holder = find_value(*section, "holder: ").value_or("");
    EXPECT_NE(holder.find("|ioctl 0 (tid "), std::string::npos) << holder;
    EXPECT_TRUE(holder.ends_with("|rc=0|")) << holder;
    const auto tables = tables_of(*section);
    ASSERT_EQ(tables.size(), 2U) << "one table per ioctl\n" << describe(*section);
    for (const DirTable& table : tables) {
        EXPECT_TRUE(table.problems.empty()) << testing::PrintToString(table.problems);
        EXPECT_EQ(table.count, static_cast<int>(table.entries.size()))
            << "the count differs from the entry lines before it";
        int previous = -1;
        for (const DirEntry& entry : table.entries) {
            EXPECT_GT(entry.index, previous) << "entries out of order";
            EXPECT_LT(entry.index, 1024);
            EXPECT_EQ(entry.address & 0xfffUL, 0UL) << "flag bits shown in PGD[" << entry.index << "]";
            previous = entry.index;
        }
    }
}

TEST(Dirscan, LowmemAndHighmemLinesShowZero) {
    OSF_SECTION(section, "dirscan_table");
    EXPECT_EQ(count_lines(*section, 6, "lowmem : 0 "), 2) << describe(*section);
    EXPECT_EQ(count_lines(*section, 6, "highmem : 0 "), 2) << describe(*section);
}

TEST(Dirscan, KernelEntriesSameInEveryProcess) {
    OSF_SECTION(section, "dirscan_table");
    const auto tables = tables_of(*section);
    ASSERT_EQ(tables.size(), 2U) << describe(*section);
    const auto first = entries(tables[0], true);
    const auto second = entries(tables[1], true);
    EXPECT_GE(first.size(), 64U) << "too few kernel entries\n" << describe(*section);
    // Identical, but for a new page table the kernel may have set up for itself in between
    // (it then enters it in every directory at once).
    int in_one_only = 0;
    for (const auto& [index, address] : first) {
        if (!second.contains(index)) {
            ++in_one_only;
            continue;
        }
        EXPECT_EQ(address, second.at(index)) << "PGD[" << index << "] differs";
    }
    for (const auto& [index, address] : second) in_one_only += !first.contains(index);
    EXPECT_LE(in_one_only, 1) << describe(*section, 400);
}

TEST(Dirscan, UserEntriesAreTheCallersOwn) {
    OSF_SECTION(section, "dirscan_table");
    const auto tables = tables_of(*section);
    ASSERT_EQ(tables.size(), 2U) << describe(*section);
    const auto first = entries(tables[0], false);
    const auto second = entries(tables[1], false);
    for (const auto& user : {first, second}) {
        EXPECT_TRUE(user.contains(kProgramCodeEntry)) << "no entry for the program's code\n"
                                                      << describe(*section);
        // The stack sits just below the kernel's boundary.
        EXPECT_GE(user.rbegin()->first, kFirstKernelEntry - 8) << describe(*section);
    }
    // Each process has its own page tables: the same entry points at different frames.
    ASSERT_TRUE(first.contains(kProgramCodeEntry) && second.contains(kProgramCodeEntry));
    EXPECT_NE(first.at(kProgramCodeEntry), second.at(kProgramCodeEntry));
}

}  // namespace
}  // namespace osf::kernel_test
