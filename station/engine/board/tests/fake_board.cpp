#include "fake_board.h"

#include "platform/clock.h"

namespace station::test {

FakeBoard*& FakeBoard::Current() {
    static FakeBoard own;
    static FakeBoard* current = &own;
    return current;
}

std::string FakeBoard::Call(std::string_view name, std::initializer_list<long long> args) {
    std::string s(name);
    s += '(';
    bool first = true;
    for (const long long a : args) {
        if (!first) {
            s += ',';
        }
        first = false;
        s += std::to_string(a);
    }
    s += ')';
    return s;
}

void FakeBoard::record(std::string_view name, std::initializer_list<long long> args) {
    calls.push_back(Call(name, args));
    ticks.push_back(platform::clock::peek());
}

LONG FakeBoard::next_i2c_result() {
    if (i2c_results.empty()) {
        return i2c_default;
    }
    const LONG r = i2c_results.front();
    i2c_results.pop_front();
    return r;
}

SHORT FakeBoard::next_error_code() {
    if (error_codes.empty()) {
        return error_default;
    }
    const SHORT c = error_codes.front();
    error_codes.pop_front();
    return c;
}

} // namespace station::test
