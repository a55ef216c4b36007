// What the tests learn about the host and the files (host.h).
#include "host.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace osf::test {
namespace {

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
        // Under an emulator this process's view of its own /proc entries is the emulator's
        // imitation; a child of the host's own architecture (the shell's readlink) reads what
        // the kernel really executes for it: this test program, or the emulator.
        std::error_code error;
        const std::string own = std::filesystem::read_symlink("/proc/self/exe", error);
        const std::string command = "readlink /proc/" + std::to_string(::getpid()) + "/exe";
        // The command is ours alone (a number in it), and the shell is the point: a program
        // of the host's own architecture.
        FILE* pipe = ::popen(command.c_str(), "r");  // NOLINT(cert-env33-c)
        if (pipe == nullptr) return false;
        char real[4096] = {};
        const bool read = std::fgets(real, sizeof real, pipe) != nullptr;
        ::pclose(pipe);
        return read && !own.empty() && std::string(real) != own + "\n";
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
