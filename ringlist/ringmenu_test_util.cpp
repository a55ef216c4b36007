// The list menus' dialogue for the end-to-end tests (ringmenu_test_util.h).
#include "ringmenu_test_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

namespace ringlist::menu_test {

using osf::test::describe_status;
using osf::test::exited_with;

std::string ring(const Values& values) {
    if (values.empty()) return "\n[ring: empty, size 0]";
    std::string text = "\n[ring:";
    for (const int v : values) text += " " + std::to_string(v);
    return text + " | size " + std::to_string(values.size()) + ", tail " +
           std::to_string(values.back()) + "]";
}

std::string host_end(const Values& values) { return ring(values) + "\n"; }

osf::test::SpawnOptions with_env(const std::string& entry) {
    osf::test::SpawnOptions options;
    options.env.push_back(entry);
    return options;
}

std::string session(const std::string& input) {
    const osf::test::TempDir bin;
    const std::string clear = bin.path + "/clear";
    std::ofstream(clear) << "#!/bin/sh\nprintf '" << kClear << "'\n";
    ::chmod(clear.c_str(), 0755);
    const auto result = osf::test::run({RINGHOST_PATH}, input, osf::test::kDefaultTimeout,
                                       with_env("PATH=" + bin.path + ":/usr/bin:/bin"));
    EXPECT_TRUE(exited_with(result.status, 0)) << describe_status(result.status);
    EXPECT_EQ(result.err, "");
    return result.out;
}

std::string fill(const Values& values) {
    if (values.empty()) return "";
    std::string input = "1\n";
    for (size_t i = 0; i < values.size(); ++i) {
        input += "2\n" + std::to_string(values[i]) + (i + 1 < values.size() ? "\ny\n" : "\nn\n");
    }
    return input + "y\n";
}

}  // namespace ringlist::menu_test
