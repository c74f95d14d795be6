// The base of a test fixture that runs station code: a fresh `StationState` for every test,
// so that no value one test sets reaches the next.
#pragma once

#include "lifecycle/station_state.h"

#include <gtest/gtest.h>

namespace station::test {

class StationStateTest : public ::testing::Test {
protected:
    StationState state_;
};

} // namespace station::test
