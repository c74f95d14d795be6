#include "platform/handles.h"
#include "windows.h"

#include <gtest/gtest.h>

namespace {

struct Counted : platform::KernelObject {
    int* closes;
    explicit Counted(int* c) : closes(c) {}
    void on_close() override { ++*closes; }
};

TEST(HandleTable, OnCloseRunsOnceWhenTheLastOfSeveralHandlesCloses) {
    int closes = 0;
    const auto object = std::make_shared<Counted>(&closes);
    const HANDLE first = platform::make_handle(object);
    const HANDLE second = platform::make_handle(object);
    EXPECT_NE(first, second);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_EQ(closes, 0) << "another handle still names the object";
    EXPECT_EQ(platform::lookup_handle(second), object);
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(CloseHandle(second));
    EXPECT_EQ(closes, 1);
}

} // namespace
