// guest_log: splits the kernel test guest's console output into sections and parses the
// modules' tables (see guest_log.h). Used by the kernel test cases.
#include "guest_log.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

namespace osf::kernel_test {
namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A whole decimal number (optionally negative), nothing else.
std::optional<long> whole_number(std::string_view text) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
    return value;
}

std::string show(const KernelLine& line) {
    return "<" + std::to_string(line.level) + ">" + line.text;
}

// "%d \t %d \t %d \t %s ": the three numbers and the name.
std::optional<TaskRow> parse_task_row(std::string_view text) {
    constexpr std::string_view separator = " \t ";
    long numbers[3];
    for (long& number : numbers) {
        const auto at = text.find(separator);
        if (at == std::string_view::npos) return {};
        const auto value = whole_number(text.substr(0, at));
        if (!value) return {};
        number = *value;
        text.remove_prefix(at + separator.size());
    }
    if (text.size() < 2 || text.back() != ' ') return {};
    return TaskRow{static_cast<int>(numbers[0]), static_cast<int>(numbers[1]),
                   static_cast<int>(numbers[2]), std::string(text.substr(0, text.size() - 1))};
}

// "PGD[%4d] : %08llx ": the index and the address (8 to 16 lower-case hex digits).
std::optional<DirEntry> parse_dir_entry(std::string_view text, std::size_t& digits_shown) {
    if (text.size() < 21 || text.size() > 29 || !starts_with(text, "PGD[") ||
        text.substr(8, 4) != "] : " || text.back() != ' ')
        return {};
    const std::string_view field = text.substr(4, 4);
    const auto digits = field.find_first_not_of(' ');
    if (digits == std::string_view::npos) return {};
    const auto index = whole_number(field.substr(digits));
    if (!index || *index < 0) return {};
    const std::string_view hex = text.substr(12, text.size() - 13);
    for (const char c : hex)
        if (!std::isxdigit(static_cast<unsigned char>(c)) ||
            std::isupper(static_cast<unsigned char>(c)))
            return {};
    unsigned long long address = 0;
    std::from_chars(hex.data(), hex.data() + hex.size(), address, 16);
    digits_shown = hex.size();
    return DirEntry{static_cast<int>(*index), address};
}

}  // namespace

std::optional<KernelLine> parse_kernel_line(std::string_view line) {
    if (!starts_with(line, "<")) return {};
    const auto close = line.find('>');
    if (close == std::string_view::npos) return {};
    const auto value = whole_number(line.substr(1, close - 1));
    if (!value || *value < 0) return {};
    line.remove_prefix(close + 1);
    if (starts_with(line, "[")) {
        const auto end = line.find("] ");
        if (end == std::string_view::npos) return {};
        line.remove_prefix(end + 2);
    }
    return KernelLine{static_cast<int>(*value % 8), std::string(line)};
}

GuestLog parse_guest_log(std::string_view text) {
    GuestLog log;
    std::istringstream in{std::string(text)};
    std::string line;
    Section* open = nullptr;
    bool in_kernel_log = false;
    int boots = 0;  // a log may hold several boots' consoles, one after the other
    int finishes = 0;
    while (std::getline(in, line)) {
        std::erase(line, '\r');
        log.console.push_back(line);
        if (starts_with(line, "@@ begin ")) {
            log.sections.push_back(Section{line.substr(9), {}, {}});
            open = &log.sections.back();
            in_kernel_log = false;
        } else if (line == "@@ kmsg" && open) {
            in_kernel_log = true;
        } else if (starts_with(line, "@@ end ")) {
            open = nullptr;
            in_kernel_log = false;
        } else if (starts_with(line, "@@ osf-guest suite=")) {
            ++boots;
            if (const auto at = line.find(" kernel="); at != std::string::npos)
                log.release = line.substr(at + 8);
        } else if (starts_with(line, "@@ machine ")) {
            std::istringstream words(line.substr(11));
            std::string la57;
            words >> log.machine >> la57;
            log.la57 = la57 == "la57=yes";
        } else if (line == "@@ osf-guest finished") {
            ++finishes;
        } else if (starts_with(line, "@@ tainted ")) {
            if (const auto value = whole_number(std::string_view(line).substr(11));
                value && *value >= 0)
                log.tainted = log.tainted.value_or(0) | static_cast<unsigned long>(*value);
        } else if (starts_with(line, "@@ printk ")) {
            const auto levels = parse_numbers(std::string_view(line).substr(10));
            if (levels.size() >= 2) log.default_level = levels[1];
        } else if (open && in_kernel_log) {
            // A line the kernel log does not explain stays, with level -1, for the checks.
            open->kernel.push_back(parse_kernel_line(line).value_or(KernelLine{-1, line}));
        } else if (open) {
            open->lines.push_back(line);
        }
    }
    log.finished = boots > 0 && finishes == boots;
    return log;
}

GuestLog load_guest_log(const std::string& path) {
    const std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return parse_guest_log(text.str());
}

std::string paging_layout(const GuestLog& log) {
    if (log.machine == "x86_64") return log.la57 ? "five-level" : "four-level";
    if (log.machine.empty() || log.release.empty()) return "";
    return log.release.ends_with("-pae") ? "pae" : "two-level";
}

const Section* find_section(const GuestLog& log, std::string_view name) {
    for (const Section& section : log.sections)
        if (section.name == name) return &section;
    return nullptr;
}

CommandRun find_command(const Section& section, std::string_view command, int occurrence) {
    CommandRun run;
    const std::string marker = "$ " + std::string(command);
    for (std::size_t i = 0; i < section.lines.size(); ++i) {
        if (section.lines[i] != marker || occurrence-- > 0) continue;
        run.found = true;
        for (++i; i < section.lines.size(); ++i) {
            const std::string& line = section.lines[i];
            if (starts_with(line, "rc=")) {
                run.rc =
                    static_cast<int>(whole_number(std::string_view(line).substr(3)).value_or(-1));
                break;
            }
            run.output.push_back(line);
        }
        break;
    }
    return run;
}

std::optional<std::string> find_value(const Section& section, std::string_view prefix) {
    for (const std::string& line : section.lines)
        if (starts_with(line, prefix)) return line.substr(prefix.size());
    return {};
}

std::vector<int> parse_numbers(std::string_view text) {
    std::vector<int> numbers;
    std::istringstream in{std::string(text)};
    int number;
    while (in >> number) numbers.push_back(number);
    return numbers;
}

std::string describe(const Section& section, std::size_t limit) {
    std::string text = "guest section " + section.name + ":\n";
    std::size_t shown = 0;
    for (const std::string& line : section.lines) {
        if (shown++ == limit) break;
        text += "  " + line + "\n";
    }
    text += "  (kernel log)\n";
    for (const KernelLine& line : section.kernel) {
        if (shown++ >= limit) {
            text += "  ... (" + std::to_string(section.kernel.size()) + " kernel lines in all)\n";
            break;
        }
        text += "  " + show(line) + "\n";
    }
    return text;
}

std::string console_tail(const GuestLog& log, std::size_t limit) {
    std::string text = "guest console (last lines):\n";
    const std::size_t from = log.console.size() > limit ? log.console.size() - limit : 0;
    for (std::size_t i = from; i < log.console.size(); ++i) text += "  " + log.console[i] + "\n";
    return text;
}

std::vector<TaskTable> task_tables(const std::vector<KernelLine>& kernel) {
    std::vector<TaskTable> tables;
    for (std::size_t i = 0; i < kernel.size(); ++i) {
        if (kernel[i].text != "Open My_ioctl successful ") continue;
        TaskTable table;
        if (kernel[i].level != 6) table.problems.push_back("not at level 6: " + show(kernel[i]));
        const KernelLine* header = i + 1 < kernel.size() ? &kernel[i + 1] : nullptr;
        const KernelLine* blank = i + 2 < kernel.size() ? &kernel[i + 2] : nullptr;
        if (!header || header->level != 6 || header->text != "pid \t ppid \t lwpid \t args ")
            table.problems.push_back("no header line after " + show(kernel[i]));
        if (!blank || blank->level != 6 || !blank->text.empty())
            table.problems.emplace_back("no empty line after the header");
        std::size_t j = i + 3;
        for (; j < kernel.size(); ++j) {
            const auto row = parse_task_row(kernel[j].text);
            if (!row) break;
            if (kernel[j].level != 6)
                table.problems.push_back("not at level 6: " + show(kernel[j]));
            table.rows.push_back(*row);
        }
        tables.push_back(std::move(table));
        i = j - 1;
    }
    return tables;
}

std::vector<DirTable> dir_tables(const std::vector<KernelLine>& kernel, int default_level) {
    std::vector<DirTable> tables;
    DirTable pending;
    for (std::size_t i = 0; i < kernel.size(); ++i) {
        const KernelLine& line = kernel[i];
        std::size_t digits = 0;
        if (const auto entry = parse_dir_entry(line.text, digits)) {
            if (line.level != default_level)
                pending.problems.push_back("not at the default level " +
                                           std::to_string(default_level) + ": " + show(line));
            pending.entries.push_back(*entry);
            pending.widest = std::max(pending.widest, digits);
            continue;
        }
        if (starts_with(line.text, "PGD"))
            pending.problems.push_back("entry line not in the format: " + show(line));
        if (!starts_with(line.text, "count : ")) {
            if (!pending.entries.empty())
                pending.problems.push_back("unexpected line inside a table: " + show(line));
            continue;
        }
        const std::string_view rest = std::string_view(line.text).substr(8);
        const auto count = rest.size() > 1 && rest.back() == ' '
                               ? whole_number(rest.substr(0, rest.size() - 1))
                               : std::nullopt;
        if (!count || line.level != 6)
            pending.problems.push_back("count line not \"count : %d \" at level 6: " + show(line));
        pending.count = static_cast<int>(count.value_or(-1));
        const char* const after[] = {"lowmem : 0 ", "highmem : 0 "};
        for (const char* expected : after) {
            ++i;
            if (i >= kernel.size() || kernel[i].text != expected || kernel[i].level != 6)
                pending.problems.push_back(std::string("expected <6>") + expected +
                                           " after the count");
        }
        tables.push_back(std::move(pending));
        pending = DirTable{};
    }
    return tables;
}

}  // namespace osf::kernel_test
