#include "setup_fixture.h"

#include <cstdio>
#include <string>

namespace setup_test {
namespace {

// Runs the command-line installer as its own process on this test's system root; answers its
// exit status and output.
std::pair<int, std::string> run_tool(const std::string& arguments) {
    const std::string command = std::string(SETUP_INSTALL_TOOL) + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST_F(InstallerTest, CommandLineToolInstallsAndRemovesTheStack) {
    const std::string where =
        "--manual-clock --root " + root().string() + " --source " + source().string();
    auto [status, output] = run_tool(where + " --count 2 --first 1");
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Установка закончена"), std::string::npos) << output;
    EXPECT_EQ(string_value(kDrivers32, "MSVIDEO1"), "tarvovfw0.dll");
    EXPECT_EQ(string_value(kDrivers32, "MSVIDEO2"), "tarvovfw1.dll");
    EXPECT_TRUE(key_exists(kService));
    EXPECT_TRUE(key_exists(std::string(kService) + "\\Devices\\TarvoDevice\\0"));

    // Again: the existing files are replaced without asking anyone.
    std::tie(status, output) = run_tool(where + " --count 2 --first 1");
    EXPECT_EQ(status, 0) << output;

    std::tie(status, output) = run_tool(where + " --remove");
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Удаление закончено"), std::string::npos) << output;
    EXPECT_EQ(string_value(kDrivers32, "MSVIDEO1"), "");
    EXPECT_FALSE(key_exists(kService));

    EXPECT_EQ(run_tool(where + " --count 11").first, 2);
    EXPECT_EQ(run_tool(where + " --count 8 --first 3").first, 2);
    // A source folder without the files: the install ends unfinished.
    EXPECT_EQ(
        run_tool("--manual-clock --root " + root().string() + " --source " + root().string()).first,
        1);
}

} // namespace
} // namespace setup_test
