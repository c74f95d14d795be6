// Opening and closing channels: the shared instance, what the first open sends, "BoardInfo",
// and the failures that must leave nothing behind.
#include "fake_device_fixture.h"

#include "channels.h"
#include "device_requests.h"

namespace capdrv_test {
namespace {

class Channels : public FakeDeviceTest {};

TEST_F(Channels, FirstOpenSendsTheDefaultSettingsOfAFreshUser) {
    Channel video(u"MSVIDEO", VIDEO_IN);
    ASSERT_TRUE(video.ok());
    EXPECT_EQ(video.error(), 0u);
    EXPECT_EQ(codes(),
              (std::vector<std::uint32_t>{IOCTL_TARVO_MAP_REGISTERS, IOCTL_TARVO_SET_FORMAT,
                                          IOCTL_TARVO_SET_SOURCE, IOCTL_TARVO_SET_COLOR,
                                          IOCTL_TARVO_READ_PCI_CONFIG}));
    const auto format = last_input(IOCTL_TARVO_SET_FORMAT);
    ASSERT_EQ(format.size(), sizeof(TARVO_FORMAT));
    EXPECT_EQ(word(format, 0), sizeof(TARVO_FORMAT));
    EXPECT_EQ(word(format, 4), 1u);
    EXPECT_EQ(word(format, 8), 192u);
    EXPECT_EQ(word(format, 12), 144u);
    const auto source = last_input(IOCTL_TARVO_SET_SOURCE);
    EXPECT_EQ(source, (std::vector<std::uint8_t>{20, 0, 0, 0, 0, 0, 0, 0, 3, 0,
                                                 0,  0, 2, 0, 0, 0, 0, 0, 0, 0}));
    const auto colour = last_input(IOCTL_TARVO_SET_COLOR);
    EXPECT_EQ(colour, (std::vector<std::uint8_t>{20, 0, 0,   0, 128, 0, 0, 0, 128, 0,
                                                 0,  0, 128, 0, 0,   0, 0, 0, 0,   0}));
    EXPECT_EQ(fake_device::state().opens, 1);
}

TEST_F(Channels, ChannelsShareOneInstanceAndBoardInfoFollowsAllThree) {
    const DWORD orders[][3] = {{1, 2, 4}, {4, 1, 2}, {2, 4, 1}};
    for (const auto& order : orders) {
        SCOPED_TRACE(order[0]);
        {
            std::unique_ptr<Channel> c[3];
            for (int i = 0; i < 3; ++i) {
                EXPECT_LE(user_value(0, "BoardInfo"), 0);
                c[i] = std::make_unique<Channel>(u"MSVIDEO", order[i]);
                ASSERT_TRUE(c[i]->ok());
            }
            EXPECT_GT(user_value(0, "BoardInfo"), 0);
            EXPECT_EQ(fake_device::state().opens, 1); // one kernel device for all three
            EXPECT_EQ(c[0]->close(), 1);
            EXPECT_GT(user_value(0, "BoardInfo"), 0);
            EXPECT_EQ(c[2]->close(), 1);
            EXPECT_GT(user_value(0, "BoardInfo"), 0);
        }
        EXPECT_EQ(user_value(0, "BoardInfo"), 0);
        EXPECT_EQ(fake_device::state().closes, 1);
        fake_device::reset();
    }
}

// The copy reaches the decoder registers through the kernel device's view of the window; when
// the last channel closes the device and its view go, and so does the copy's address (a read
// then answers all ones instead of touching an unmapped view).
TEST_F(Channels, RegisterWindowAddressGoesWithTheLastChannel) {
    tarvovfw::DriverNameRecord name;
    name.name = "Tarvo";
    VIDEO_OPEN_PARMS parms{};
    parms.dwFlags = VIDEO_IN;
    ASSERT_EQ(tarvovfw::open_capture_channel(name, parms, 0), LRESULT(VIDEO_IN));
    EXPECT_NE(tarvovfw::copy().register_window, 0u);
    EXPECT_EQ(tarvovfw::release_channel(VIDEO_IN), 1);
    EXPECT_EQ(tarvovfw::copy().register_window, 0u);
    EXPECT_EQ(tarvovfw::read_register(0), 0xFFFFFFFFu);
}

TEST_F(Channels, ASecondOpenOfAChannelFailsAndLeavesTheFirst) {
    DRIVERPROC proc = driver_proc();
    ASSERT_EQ(open_direct(4), 4);
    DWORD error = 0xEEEE;
    EXPECT_EQ(open_direct(4, &error), 0);
    EXPECT_EQ(error, 0u);
    for (DWORD bad : {0u, 8u, 5u}) {
        EXPECT_EQ(open_direct(bad, &error), 0);
        EXPECT_EQ(error, 0u);
    }
    // The reference count is back to one: a single close ends the kernel device.
    EXPECT_EQ(proc(4, nullptr, DVM_STREAM_FINI, 0, 0), DV_ERR_NONSPECIFIC); // still served
    EXPECT_EQ(proc(4, nullptr, DRV_CLOSE, 0, 0), 1);
    EXPECT_EQ(fake_device::state().closes, 1);
    EXPECT_EQ(proc(4, nullptr, DRV_CLOSE, 0, 0), 0);
}

TEST_F(Channels, ClosingAChannelThatIsNotOpenReleasesNothing) {
    DRIVERPROC proc = driver_proc();
    ASSERT_EQ(open_direct(4), 4);
    EXPECT_EQ(proc(1, nullptr, DRV_CLOSE, 0, 0), 0);
    EXPECT_EQ(proc(2, nullptr, DRV_CLOSE, 0, 0), 0);
    EXPECT_EQ(proc(7, nullptr, DRV_CLOSE, 0, 0), 0);
    EXPECT_EQ(fake_device::state().closes, 0);
    DWORD ret = 0;
    VIDEOCONFIGPARMS c{&ret, nullptr, 0, nullptr, 0};
    EXPECT_EQ(proc(4, nullptr, DVM_FORMAT, 1, reinterpret_cast<LPARAM>(&c)), 0);
    EXPECT_EQ(proc(4, nullptr, DRV_CLOSE, 0, 0), 1);
    EXPECT_EQ(fake_device::state().closes, 1);
}

TEST_F(Channels, AFailedFirstOpenReleasesEverythingAndTheNextStartsClean) {
    fake_device::state().no_window = true;
    DWORD error = 0xEEEE;
    EXPECT_EQ(open_direct(4, &error), 0);
    EXPECT_EQ(fake_device::state().opens, 1);
    EXPECT_EQ(fake_device::state().closes, 1);
    fake_device::state().no_window = false;
    fake_device::clear_requests();
    EXPECT_EQ(open_direct(4, &error), 4);
    EXPECT_EQ(error, 0u);
    const auto c = codes();
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(c.front(), IOCTL_TARVO_MAP_REGISTERS); // made anew
    EXPECT_EQ(driver_proc()(4, nullptr, DRV_CLOSE, 0, 0), 1);
    EXPECT_EQ(fake_device::state().closes, 2);
}

TEST_F(Channels, ACopyServesTheKernelDeviceOfItsDigit) {
    fake_device::state().devices = 4;
    install_copy("tarvovfw3.dll", 3);
    register_slot(1, "tarvovfw3.dll");
    Channel three(u"MSVIDEO1", VIDEO_IN);
    ASSERT_TRUE(three.ok());
    const auto all = fake_device::requests();
    ASSERT_FALSE(all.empty());
    for (const auto& r : all) {
        EXPECT_EQ(r.device, 3);
    }
    // Its settings key is that of its slot.
    Channel ext_in(u"MSVIDEO1", VIDEO_EXTERNALIN);
    Channel ext_out(u"MSVIDEO1", VIDEO_EXTERNALOUT);
    EXPECT_GT(user_value(1, "BoardInfo"), 0);
    EXPECT_EQ(user_value(0, "BoardInfo"), -1);
}

TEST_F(Channels, NoKernelDeviceOfTheDigitIsNotDetected) {
    install_copy("tarvovfw2.dll", 2);
    register_slot(2, "tarvovfw2.dll");
    Channel two(u"MSVIDEO2", VIDEO_IN);
    EXPECT_FALSE(two.ok());
    EXPECT_EQ(two.error(), static_cast<DWORD>(DV_ERR_NOTDETECTED));
}

} // namespace
} // namespace capdrv_test
