// A fresh temporary program folder per test (the program folder of a fresh `BaseState`), and a
// builder for expected file bytes.
#pragma once

#include "base/base_state.h"
#include "base/program_dir.h"
#include "temp_dir.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace station::test {

class ProgramDirTest : public ::testing::Test {
protected:
    void SetUp() override { SetProgramDir(base_, dir_.string()); }

    std::filesystem::path path(std::string_view name) const { return dir_ / name; }

    void write(std::string_view name, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    std::vector<std::uint8_t> read(std::string_view name) const {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    tolm_test::TempDir temp_{"tolm-progdir"};
    std::filesystem::path dir_ = temp_.path();
    BaseState base_;
};

// Little-endian pieces of the settings encoding, written out by hand for golden bytes.
class Bytes {
public:
    Bytes& i32(std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8) {
            b_.push_back(static_cast<std::uint8_t>(u >> shift));
        }
        return *this;
    }
    Bytes& byte(std::uint8_t v) {
        b_.push_back(v);
        return *this;
    }
    Bytes& str(std::string_view s) {
        i32(static_cast<std::int32_t>(s.size()));
        for (const char c : s) {
            i32(static_cast<unsigned char>(c));
        }
        return *this;
    }
    const std::vector<std::uint8_t>& get() const { return b_; }
    operator const std::vector<std::uint8_t>&() const { return b_; }

private:
    std::vector<std::uint8_t> b_;
};

} // namespace station::test
