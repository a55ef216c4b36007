// What the tests learn about the host and the files (host.h).
#include "host.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace osf::test {
namespace {

// Whether one binfmt_misc entry is enabled and claims 32-bit little-endian x86 executables:
// its magic starts with the ELF32 LSB identification and holds machine 3 (EM_386) at byte 18.
bool claims_i386(const std::filesystem::path& entry) {
    std::ifstream file(entry);
    std::string line;
    bool enabled = false, i386 = false, at_start = false;
    while (std::getline(file, line)) {
        if (line == "enabled") enabled = true;
        if (line == "offset 0") at_start = true;
        if (line.rfind("magic ", 0) == 0) {
            const std::string magic = line.substr(6);
            i386 = magic.size() >= 40 && magic.rfind("7f454c460101", 0) == 0 &&
                   magic.substr(36, 4) == "0300";
        }
    }
    return enabled && i386 && at_start;
}

// What qemu-user writes to the program's standard error when the program dies of a signal.
constexpr std::string_view kEmulatorNote = "qemu: uncaught target signal ";

}  // namespace

void drop_emulator_notes(std::string& text) {
    for (size_t at = text.find(kEmulatorNote); at != std::string::npos;
         at = text.find(kEmulatorNote, at)) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        text.erase(at, end + 1 - at);
    }
}

bool i386_emulated() {
    static const bool emulated = [] {
        const std::filesystem::path root = "/proc/sys/fs/binfmt_misc";
        std::ifstream status(root / "status");
        std::string state;
        if (!std::getline(status, state) || state != "enabled") return false;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
            const std::string name = entry.path().filename();
            if (name != "register" && name != "status" && claims_i386(entry.path())) return true;
        }
        return false;
    }();
    return emulated;
}

std::vector<std::string> inject_env(std::string_view fail, std::string_view stop_after) {
    std::vector<std::string> env{"LD_PRELOAD=" OSF_INJECT_LIBRARY};
    if (!fail.empty()) env.push_back("OSF_FAIL=" + std::string(fail));
    if (!stop_after.empty()) env.push_back("OSF_STOP_AFTER=" + std::string(stop_after));
#if defined(__SANITIZE_ADDRESS__)
    // The runtime insists on being loaded first unless told otherwise.
    const char* options = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("ASAN_OPTIONS=") + (options != nullptr ? options : "") +
                  (options != nullptr && *options != '\0' ? ":" : "") + "verify_asan_link_order=0");
#endif
    return env;
}

bool udp_port_bound(int port) {
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", static_cast<unsigned>(port));
    for (const char* path : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream table(path);
        std::string line;
        std::getline(table, line);  // the header
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local;
            fields >> slot >> local;  // "0100007F:04D2": address and port in hexadecimal
            if (local.size() > 5 && local.compare(local.size() - 5, 5, wanted) == 0) return true;
        }
    }
    return false;
}

std::string failure_report_mismatch(const std::string& err, const std::string& message,
                                    const std::string& file, const std::string& error) {
    const std::string head = message + " at \"" + file + "\":";
    const std::string tail = ": " + error + "\n";
    if (err.compare(0, head.size(), head) != 0 || err.size() < head.size() + tail.size() ||
        err.compare(err.size() - tail.size(), tail.size(), tail) != 0)
        return "not \"" + head + "<line>" + tail + "\" but \"" + err + "\"";
    const std::string number = err.substr(head.size(), err.size() - head.size() - tail.size());
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return "no line number in \"" + err + "\"";
    // The line named must be the report_failure call with this message.
    std::ifstream source(std::string(OSF_SOURCE_DIR) + "/" + file);
    std::string code;
    for (int i = std::stoi(number); i > 0 && std::getline(source, code); --i) {
    }
    const std::string call = "report_failure(\"" + message.substr(0, message.find('\n'));
    if (code.find(call) == std::string::npos)
        return file + " line " + number + " is not the report_failure call: " + code;
    return "";
}

}  // namespace osf::test
