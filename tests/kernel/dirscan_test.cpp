// dirscan_test: the top-level page table dirscan logs on an ioctl, on each paging layout:
// entry lines in the exact format at the kernel's default level, in index order, within the
// table's size, with the flag bits cleared (and on two-level paging exactly as always: eight
// hex digits); the count equal to the entry lines, then the lowmem and highmem lines; the
// kernel's entries the same for two processes, the user entries each process's own; an entry
// that holds only flags shown with a zero address.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "boot_log.h"

namespace osf::kernel_test {
namespace {

// What the top-level table looks like to a guest program (static, not position-independent,
// of the guest's architecture: code at 0x08048000 on i386, 0x400000 on x86-64).
struct Layout {
    const char* name;        // as paging_layout() names it
    int entries;             // in the table
    int first_kernel_entry;  // where the kernel's part starts
    int entry_shift;         // log2 of the address space one entry covers
    int min_kernel_entries;  // in use in any process
    int stack_entry_low;     // the stack, just below the kernel's boundary, is in an entry
    int stack_entry_high;    //   from low to high
};
constexpr Layout kLayouts[] = {
    // 3 GiB of user space, 4 MiB per entry; the kernel maps at least 256 MiB of lowmem.
    {"two-level", 1024, 768, 22, 64, 760, 767},
    // 1 GiB per entry: the three user entries are always there, one for the kernel.
    {"pae", 4, 3, 30, 1, 2, 2},
    // 512 GiB per entry: the direct map, vmalloc, the kernel's image and so on.
    {"four-level", 512, 256, 39, 2, 255, 255},
    // 128 PiB per entry: the whole of a process's usual address space is entry 0.
    {"five-level", 512, 256, 48, 2, 0, 0},
};

const Layout* booted_layout() {
    const std::string name = paging_layout(main_log());
    for (const Layout& layout : kLayouts)
        if (name == layout.name) return &layout;
    return nullptr;
}

// The entry that holds a guest program's code.
int code_entry(const Layout& layout, bool guest_64_bit) {
    const unsigned long long code = guest_64_bit ? 0x400000ULL : 0x08048000ULL;
    return static_cast<int>(code >> layout.entry_shift);
}

std::vector<DirTable> tables_of(const Section& section) {
    return dir_tables(section.kernel, main_log().default_level);
}

std::map<int, unsigned long long> entries(const DirTable& table, const Layout& layout,
                                          bool kernel) {
    std::map<int, unsigned long long> result;
    for (const DirEntry& entry : table.entries)
        if ((entry.index >= layout.first_kernel_entry) == kernel)
            result[entry.index] = entry.address;
    return result;
}

#define OSF_LAYOUT(var)                  \
    const Layout* var = booted_layout(); \
    ASSERT_NE(var, nullptr) << "no known paging layout in the log\n" << console_tail(main_log())

// The checks every table must pass: format and levels, the count, indexes in order within
// the table, no flag bits in an address, and two-level paging's entries exactly as always.
void check_table(const DirTable& table, const Layout& layout) {
    EXPECT_TRUE(table.problems.empty()) << testing::PrintToString(table.problems);
    EXPECT_EQ(table.count, static_cast<int>(table.entries.size()))
        << "the count differs from the entry lines before it";
    if (layout.entries == 1024) {
        EXPECT_EQ(table.widest, 8U) << "a 32-bit entry shown in more than eight digits";
    }
    int previous = -1;
    for (const DirEntry& entry : table.entries) {
        EXPECT_GT(entry.index, previous) << "entries out of order";
        EXPECT_LT(entry.index, layout.entries);
        // The low 12 bits are flags; on 64-bit entries so are the top ones (no-execute among them).
        EXPECT_EQ(entry.address & 0xfffULL, 0ULL)
            << "flag bits shown in PGD[" << entry.index << "]";
        EXPECT_EQ(entry.address >> 52, 0ULL) << "flag bits shown in PGD[" << entry.index << "]";
        previous = entry.index;
    }
}

TEST(Dirscan, EntriesInExactFormatAndOrderThenCount) {
    OSF_SECTION(section, "dirscan_table");
    OSF_LAYOUT(layout);
    ASSERT_EQ(main_log().default_level, 4) << "the guest did not report the default level";
    const CommandRun run = find_command(*section, "ioctl_trigger /dev/ds 7");
    ASSERT_TRUE(run.found) << describe(*section);
    EXPECT_EQ(run.rc, 0) << describe(*section);
    const std::string holder = find_value(*section, "holder: ").value_or("");
    EXPECT_NE(holder.find("|ioctl 0 (tid "), std::string::npos) << holder;
    EXPECT_TRUE(holder.ends_with("|rc=0|")) << holder;
    const auto tables = tables_of(*section);
    ASSERT_EQ(tables.size(), 2U) << "one table per ioctl\n" << describe(*section);
    for (const DirTable& table : tables) check_table(table, *layout);
}

TEST(Dirscan, LowmemAndHighmemLinesShowZero) {
    OSF_SECTION(section, "dirscan_table");
    EXPECT_EQ(count_lines(*section, 6, "lowmem : 0 "), 2) << describe(*section);
    EXPECT_EQ(count_lines(*section, 6, "highmem : 0 "), 2) << describe(*section);
}

TEST(Dirscan, KernelEntriesSameInEveryProcess) {
    OSF_SECTION(section, "dirscan_table");
    OSF_LAYOUT(layout);
    const auto tables = tables_of(*section);
    ASSERT_EQ(tables.size(), 2U) << describe(*section);
    const auto first = entries(tables[0], *layout, true);
    const auto second = entries(tables[1], *layout, true);
    EXPECT_GE(first.size(), static_cast<std::size_t>(layout->min_kernel_entries))
        << "too few kernel entries\n"
        << describe(*section);
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
    OSF_LAYOUT(layout);
    const auto tables = tables_of(*section);
    ASSERT_EQ(tables.size(), 2U) << describe(*section);
    const auto first = entries(tables[0], *layout, false);
    const auto second = entries(tables[1], *layout, false);
    const int code = code_entry(*layout, is_64_bit(main_log()));
    for (const auto& user : {first, second}) {
        ASSERT_FALSE(user.empty()) << describe(*section);
        EXPECT_TRUE(user.contains(code)) << "no entry for the program's code\n"
                                         << describe(*section);
        EXPECT_GE(user.rbegin()->first, layout->stack_entry_low) << "no entry for the stack\n"
                                                                 << describe(*section);
        EXPECT_LE(user.rbegin()->first, layout->stack_entry_high) << describe(*section);
    }
    // Each process has its own page tables: the same entry points at different frames.
    ASSERT_TRUE(first.contains(code) && second.contains(code));
    EXPECT_NE(first.at(code), second.at(code));
}

TEST(Dirscan, EntryHoldingOnlyFlagsCountedWithZeroAddress) {
    OSF_SECTION(section, "dirscan_flags_only");
    OSF_SECTION(normal, "dirscan_table");
    OSF_LAYOUT(layout);
    const int last = layout->entries - 1;
    EXPECT_EQ(find_command(*section, "ioctl_trigger /dev/dsf 0").rc, 0) << describe(*section);
    const auto tables = tables_of(*section);
    ASSERT_EQ(tables.size(), 1U) << describe(*section);
    check_table(tables[0], *layout);
    // The last entry maps the kernel in every process: with its address it shows normally...
    const auto normal_tables = tables_of(*normal);
    ASSERT_FALSE(normal_tables.empty());
    const auto shown = entries(normal_tables[0], *layout, true);
    ASSERT_TRUE(shown.contains(last)) << describe(*normal);
    EXPECT_NE(shown.at(last), 0ULL);
    // ...and read as its flags alone it is still counted and shown, with a zero address.
    ASSERT_FALSE(tables[0].entries.empty()) << describe(*section);
    EXPECT_EQ(tables[0].entries.back().index, last) << describe(*section);
    EXPECT_EQ(tables[0].entries.back().address, 0ULL) << describe(*section);
}

TEST(Dirscan, ThirtyTwoBitCallerOnA64BitKernel) {
    OSF_LAYOUT(layout);
    if (!is_64_bit(main_log())) GTEST_SKIP() << "a 32-bit kernel has no 32-bit compatibility path";
    OSF_SECTION(section, "compat_caller");
    const CommandRun run = find_command(*section, "ioctl_trigger32 /dev/ds 0");
    ASSERT_TRUE(run.found) << describe(*section);
    EXPECT_EQ(run.rc, 0) << "the ioctl of a 32-bit program failed\n" << describe(*section);
    const auto tables = tables_of(*section);
    ASSERT_EQ(tables.size(), 1U) << describe(*section);
    check_table(tables[0], *layout);
    // A 32-bit process lives below 4 GiB: all of it in entry 0.
    const auto user = entries(tables[0], *layout, false);
    EXPECT_EQ(user.size(), 1U) << describe(*section);
    EXPECT_TRUE(user.contains(0)) << describe(*section);
}

}  // namespace
}  // namespace osf::kernel_test
