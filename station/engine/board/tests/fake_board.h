// A recording board-control library for the tests, with fault injection. The same functions
// serve in two ways: exported by name from a small module (the binding finds them with
// GetProcAddress), or in process through FakeBoardResolver.
#pragma once

#include "board/board_library.h"

#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace station::test {

class FakeBoard {
public:
    // The board the library functions act on (in the module: the module's own board).
    static FakeBoard*& Current();
    // The text a call is recorded as: "Name(a,b,c)".
    static std::string Call(std::string_view name, std::initializer_list<long long> args);

    // Every call, in order, with the platform tick at the call.
    std::vector<std::string> calls;
    std::vector<std::uint32_t> ticks;

    // Answers.
    std::array<BYTE, kChipCount> i2c_init_ok{1, 1, 1, 1};
    std::array<BYTE, kChipCount> gpio_init_ok{1, 1, 1, 1};
    LONG hw_init_result = 0;
    // Results of the next I2CHWRead / I2CHWWrite2 / I2CHWWrite3 calls in order; then
    // `i2c_default`.
    std::deque<LONG> i2c_results;
    LONG i2c_default = 0;
    // Codes answered by I2CGetLastError in order; then `error_default`.
    std::deque<SHORT> error_codes;
    SHORT error_default = 1;
    // A successful read at address a gives the next `read_bytes` entry, else `read_values[a]`,
    // else the last byte written at a - 1 (the multiplexer's read-back), else 0xFF. A failed
    // read writes 0xEE.
    std::deque<BYTE> read_bytes;
    std::map<LONG, BYTE> read_values;
    std::map<LONG, BYTE> last_written;
    // Decoder registers per chip.
    std::array<std::map<LONG, BYTE>, kChipCount> decoder{};
    // What GetGPDATABits reads.
    LONG gpdata_bits = 0;
    BYTE bridge_present = 0;
    DWORD bridge_value = 0;

    void record(std::string_view name, std::initializer_list<long long> args);
    LONG next_i2c_result();
    SHORT next_error_code();
    void ClearCalls() {
        calls.clear();
        ticks.clear();
    }
};

// Finds the fake's functions by name, acting on `board`; `missing` is not found.
BoardLibrary::Resolver FakeBoardResolver(FakeBoard& board, std::string_view missing = {});

// The module's exported accessor of its board.
using FakeBoardStateFn = FakeBoard* (*)();
inline constexpr const char* kFakeBoardStateName = "FakeBoardState";

} // namespace station::test
