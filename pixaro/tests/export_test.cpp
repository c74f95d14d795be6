// The shared library: its one export, the path it takes and the symbols it hides.
#include "test_models.h"

#include <pixaro/colorspace.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <thread>

namespace pixaro::test {
namespace {

TEST(Export, TakesThePathChosenForThisProcessor) {
    const Path chosen = ChosenPath();
#if defined(__x86_64__)
    EXPECT_EQ(chosen.cls, ProcessorClass::Sse);
#elif !defined(__i386__)
    EXPECT_EQ(chosen.cls, ProcessorClass::Plain);
#endif
    std::mt19937 rng(1);
    const std::uint32_t width = 40, height = 3;
    const Bytes yuy2 = RandomBytes(width * height * 2, rng);
    Bytes dst(width * height * 4);
    ASSERT_EQ(ColorspaceConv(dst.data(), yuy2.data(), width, height, BGRX, YUY2), 1);
    EXPECT_EQ(dst, ModelBgrx(yuy2, width, height, chosen.cls));
}

TEST(Export, CallsFromManyThreadsAgree) {
    std::mt19937 rng(2);
    const std::uint32_t width = 64, height = 8;
    const Bytes packed = RandomBytes(width * height * 3 / 2, rng);
    const Bytes want = Model411To422(packed, width, height);
    std::vector<Bytes> out(8, Bytes(want.size()));
    std::vector<std::thread> threads;
    for (auto& o : out)
        threads.emplace_back(
            [&] { ColorspaceConv(o.data(), packed.data(), width, height, YUY2, BTYUV); });
    for (auto& t : threads)
        t.join();
    for (const auto& o : out)
        EXPECT_EQ(o, want);
}

TEST(Export, OnlyColorspaceConvIsVisible) {
    void* lib = dlopen(PIXARO_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    EXPECT_NE(dlsym(lib, "ColorspaceConv"), nullptr);
    // pixaro::Convert, pixaro::ChosenPath and pixaro::Convert411To422 stay inside.
    for (const char* hidden :
         {"_ZN6pixaro7ConvertEPvPKvjjiiPKNS_4PathE", "_ZN6pixaro10ChosenPathEv",
          "_ZN6pixaro15Convert411To422EPhPKhjjNS_4PathE"})
        EXPECT_EQ(dlsym(lib, hidden), nullptr) << hidden;
    dlclose(lib);
}

} // namespace
} // namespace pixaro::test
