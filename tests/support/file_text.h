// A host file's bytes as a string, and a string written as a file's bytes, for tests that
// check what the code under test wrote or give it files to read.
#pragma once

#include <filesystem>
#include <string>

namespace tolm_test {

// Empty when the file cannot be read.
std::string ReadText(const std::filesystem::path& path);
// Replaces the file's content.
void WriteText(const std::filesystem::path& path, const std::string& bytes);

} // namespace tolm_test
