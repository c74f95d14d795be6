// The streaming engine of the video-in channel against the fake device, whose buffer requests
// complete at once.
#include "fake_device_fixture.h"

#include <algorithm>
#include <chrono>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace capdrv_test {
namespace {

struct Report {
    UINT message;
    LPVIDEOHDR header;
    DWORD flags;
};

class StreamEngine : public FakeDeviceTest {
protected:
    StreamEngine() {
        proc_ = driver_proc();
        EXPECT_EQ(open_direct(VIDEO_IN), 4);
        for (auto& b : buffers_) {
            b.header.lpData = b.data;
            b.header.dwBufferLength = sizeof b.data;
        }
    }
    ~StreamEngine() override {
        send(DVM_STREAM_FINI);
        send(DRV_CLOSE);
    }

    LRESULT send(UINT msg, LPARAM p1 = 0, LPARAM p2 = 0) { return proc_(4, nullptr, msg, p1, p2); }
    LRESULT init() {
        VIDEO_STREAM_INIT_PARMS parms{};
        parms.dwMicroSecPerFrame = 40000;
        parms.dwCallback = reinterpret_cast<DWORD_PTR>(&StreamEngine::callback);
        parms.dwCallbackInst = reinterpret_cast<DWORD_PTR>(this);
        parms.dwFlags = CALLBACK_FUNCTION;
        parms.hVideo = 0x1234;
        return send(DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&parms), sizeof parms);
    }
    LRESULT add(int i) {
        return send(DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(&buffers_[i].header),
                    sizeof(VIDEOHDR));
    }
    std::vector<Report> reports() {
        std::lock_guard lock(mutex_);
        return reports_;
    }
    std::vector<LPVIDEOHDR> data_reports() {
        std::vector<LPVIDEOHDR> out;
        for (const Report& r : reports()) {
            if (r.message == MM_DRVM_DATA) {
                out.push_back(r.header);
            }
        }
        return out;
    }
    LPVIDEOHDR header(int i) { return &buffers_[i].header; }

    static void CALLBACK callback(HDRVR video, UINT msg, DWORD_PTR user, DWORD_PTR p1, DWORD_PTR) {
        auto* self = reinterpret_cast<StreamEngine*>(user);
        EXPECT_EQ(reinterpret_cast<DWORD_PTR>(video), 0x1234u);
        auto* h = reinterpret_cast<LPVIDEOHDR>(p1);
        {
            std::lock_guard lock(self->mutex_);
            self->reports_.push_back({msg, h, h != nullptr ? h->dwFlags : 0});
        }
        if (self->on_data && msg == MM_DRVM_DATA) {
            self->on_data(h);
        }
    }

    struct Buffer {
        BYTE data[256] = {};
        VIDEOHDR header{};
    } buffers_[8];
    std::function<void(LPVIDEOHDR)> on_data;
    std::mutex mutex_;
    std::vector<Report> reports_;
};

TEST_F(StreamEngine, HeadersAddedWhileStoppedGoOutInOrderAtStart) {
    ASSERT_EQ(init(), DV_ERR_OK);
    const auto init_input = last_input(IOCTL_TARVO_STREAM_INIT);
    EXPECT_EQ(word(init_input, 0), 40000u);
    for (int i = 0; i < 4; ++i) {
        header(i)->dwFlags = VHDR_PREPARED;
        ASSERT_EQ(add(i), DV_ERR_OK);
    }
    EXPECT_TRUE(data_reports().empty()); // stopped: nothing is sent
    fake_device::clear_requests();
    ASSERT_EQ(send(DVM_STREAM_START), DV_ERR_OK);
    // All four came back before the start returned, in the order added.
    EXPECT_EQ(data_reports(),
              (std::vector<LPVIDEOHDR>{header(0), header(1), header(2), header(3)}));
    for (const Report& r : reports()) {
        if (r.message == MM_DRVM_DATA) {
            EXPECT_EQ(r.flags, VHDR_PREPARED | VHDR_DONE | VHDR_KEYFRAME);
        }
    }
    EXPECT_EQ(codes(), (std::vector<std::uint32_t>{IOCTL_TARVO_ADD_BUFFER, IOCTL_TARVO_ADD_BUFFER,
                                                   IOCTL_TARVO_ADD_BUFFER, IOCTL_TARVO_ADD_BUFFER,
                                                   IOCTL_TARVO_STREAM_START}));
    EXPECT_EQ(header(0)->dwReserved[3], fake_device::state().table);
    EXPECT_EQ(header(0)->dwBytesUsed, 256u);
    ASSERT_EQ(reports().front().message, MM_DRVM_OPEN);
    ASSERT_EQ(send(DVM_STREAM_FINI), DV_ERR_OK);
    EXPECT_EQ(reports().back().message, MM_DRVM_CLOSE);
    EXPECT_EQ(send(DVM_STREAM_FINI), DV_ERR_NONSPECIFIC);
}

// A buffer request the kernel device pends: the device handle is not overlapped, so the request
// waits in the worker until the device completes it, and the header comes back then.
TEST_F(StreamEngine, PendedBufferRequestsFinishWhenTheDeviceCompletesThem) {
    ASSERT_EQ(init(), DV_ERR_OK);
    ASSERT_EQ(send(DVM_STREAM_START), DV_ERR_OK);
    {
        std::lock_guard lock(fake_device::state().mutex);
        fake_device::state().pend_add_buffer = true;
    }
    std::atomic<int> completed{0};
    std::atomic<bool> done{false};
    std::thread device([&] {
        while (!done) {
            std::size_t pended = 0;
            {
                std::lock_guard lock(fake_device::state().mutex);
                pended = fake_device::state().pended.size();
            }
            if (pended != 0) {
                EXPECT_TRUE(data_reports().size() == std::size_t(completed))
                    << "a header came back before its request completed";
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                completed += int(pended);
                fake_device::state().complete_pended();
            }
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 2; ++i) {
        header(i)->dwFlags = VHDR_PREPARED;
        ASSERT_EQ(add(i), DV_ERR_OK);
    }
    done = true;
    device.join();
    EXPECT_EQ(completed, 2);
    EXPECT_EQ(data_reports(), (std::vector<LPVIDEOHDR>{header(0), header(1)}));
    EXPECT_EQ(header(1)->dwBytesUsed, 256u);
    EXPECT_EQ(header(1)->dwReserved[3], fake_device::state().table);
    EXPECT_NE(header(1)->dwFlags & VHDR_DONE, 0u);
}

TEST_F(StreamEngine, ResetReturnsQueuedHeadersWithOnlyDone) {
    ASSERT_EQ(init(), DV_ERR_OK);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(add(i), DV_ERR_OK);
    }
    ASSERT_EQ(send(DVM_STREAM_RESET), DV_ERR_OK);
    EXPECT_EQ(data_reports(), (std::vector<LPVIDEOHDR>{header(0), header(1), header(2)}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(header(i)->dwFlags, VHDR_DONE);
    }
}

TEST_F(StreamEngine, AHeaderWithTheThirdReservedWordIsFinishedWithoutACallback) {
    ASSERT_EQ(init(), DV_ERR_OK);
    header(0)->dwReserved[2] = 1;
    ASSERT_EQ(add(0), DV_ERR_OK);
    ASSERT_EQ(add(1), DV_ERR_OK);
    ASSERT_EQ(send(DVM_STREAM_START), DV_ERR_OK);
    EXPECT_EQ(data_reports(), (std::vector<LPVIDEOHDR>{header(1)}));
    EXPECT_EQ(header(0)->dwFlags, VHDR_DONE | VHDR_KEYFRAME);
}

TEST_F(StreamEngine, ErrorCountAndPosition) {
    ASSERT_EQ(init(), DV_ERR_OK);
    DWORD error = 0xEE, count = 0xEE;
    EXPECT_EQ(send(DVM_STREAM_GETERROR, reinterpret_cast<LPARAM>(&error),
                   reinterpret_cast<LPARAM>(&count)),
              DV_ERR_OK);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(count, 0u);
    MMTIME time{};
    EXPECT_EQ(send(DVM_STREAM_GETPOSITION, reinterpret_cast<LPARAM>(&time), 11),
              DV_ERR_NOTSUPPORTED);
    // The kernel device does not serve the position request.
    EXPECT_EQ(send(DVM_STREAM_GETPOSITION, reinterpret_cast<LPARAM>(&time), sizeof time),
              DV_ERR_NONSPECIFIC);
    fake_device::state().failing.erase(IOCTL_TARVO_GET_POSITION);
    EXPECT_EQ(send(DVM_STREAM_GETPOSITION, reinterpret_cast<LPARAM>(&time), sizeof time),
              DV_ERR_OK);
    EXPECT_EQ(time.wType, TIME_MS);
}

TEST_F(StreamEngine, ASecondInitLeavesTheRunningStreamAlone) {
    ASSERT_EQ(init(), DV_ERR_OK);
    ASSERT_EQ(add(0), DV_ERR_OK);
    fake_device::clear_requests();
    EXPECT_EQ(init(), DV_ERR_NONSPECIFIC);
    EXPECT_TRUE(codes().empty());
    ASSERT_EQ(send(DVM_STREAM_START), DV_ERR_OK);
    EXPECT_EQ(data_reports(), (std::vector<LPVIDEOHDR>{header(0)}));
    int opens = 0;
    for (const Report& r : reports()) {
        opens += r.message == MM_DRVM_OPEN;
    }
    EXPECT_EQ(opens, 1);
}

TEST_F(StreamEngine, RefusedInitStillOpensAndClosesTheCallback) {
    fake_device::state().failing.insert(IOCTL_TARVO_STREAM_INIT);
    EXPECT_EQ(init(), DV_ERR_NONSPECIFIC);
    const auto r = reports();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].message, MM_DRVM_OPEN);
    EXPECT_EQ(r[1].message, MM_DRVM_CLOSE);
    EXPECT_EQ(add(0), DV_ERR_NONSPECIFIC);
}

TEST_F(StreamEngine, BuffersAddedFromInsideTheCallbackAreFilledByOneLoop) {
    ASSERT_EQ(init(), DV_ERR_OK);
    std::atomic<int> depth{0}, deepest{0}, readds{0};
    on_data = [&](LPVIDEOHDR h) {
        const int d = ++depth;
        deepest = std::max(deepest.load(), d);
        if (readds++ < 200) {
            h->dwFlags &= ~VHDR_DONE;
            EXPECT_EQ(send(DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(h), sizeof(VIDEOHDR)),
                      DV_ERR_OK);
        }
        --depth;
    };
    ASSERT_EQ(add(0), DV_ERR_OK);
    ASSERT_EQ(add(1), DV_ERR_OK);
    ASSERT_EQ(send(DVM_STREAM_START), DV_ERR_OK);
    EXPECT_EQ(data_reports().size(), 202u);
    EXPECT_EQ(deepest.load(), 1); // no callback inside a callback
    on_data = nullptr;
}

TEST_F(StreamEngine, AFailedAddBufferKeepsTheHeaderQueued) {
    ASSERT_EQ(init(), DV_ERR_OK);
    fake_device::state().failing.insert(IOCTL_TARVO_ADD_BUFFER);
    ASSERT_EQ(add(0), DV_ERR_OK);
    ASSERT_EQ(add(1), DV_ERR_OK);
    ASSERT_EQ(send(DVM_STREAM_START), DV_ERR_OK);
    EXPECT_TRUE(data_reports().empty());
    fake_device::state().failing.erase(IOCTL_TARVO_ADD_BUFFER);
    ASSERT_EQ(add(2), DV_ERR_OK); // the next add tries the queue head again
    EXPECT_EQ(data_reports(), (std::vector<LPVIDEOHDR>{header(0), header(1), header(2)}));
}

TEST_F(StreamEngine, ConcurrentCallersTakeTurns) {
    ASSERT_EQ(init(), DV_ERR_OK);
    constexpr int kRounds = 300;
    std::atomic<int> failures{0};
    BYTE data[16];
    std::vector<VIDEOHDR> headers(kRounds, VIDEOHDR{data, sizeof data, 0, 0, 0, 0, {}});
    std::thread adder([&] {
        for (VIDEOHDR& h : headers) {
            // Stopped: every header waits in the queue until a reset gives it back.
            if (send(DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(&h), sizeof h) != DV_ERR_OK) {
                failures++;
            }
        }
    });
    std::thread other([&] {
        for (int round = 0; round < kRounds; ++round) {
            if (send(round % 2 ? DVM_STREAM_STOP : DVM_STREAM_RESET) != DV_ERR_OK) {
                failures++;
            }
        }
    });
    adder.join();
    other.join();
    EXPECT_EQ(failures.load(), 0);
    ASSERT_EQ(send(DVM_STREAM_RESET), DV_ERR_OK);
    // Every header came back exactly once.
    const auto back = data_reports();
    EXPECT_EQ(back.size(), headers.size());
    for (const VIDEOHDR& h : headers) {
        EXPECT_EQ(std::count(back.begin(), back.end(), &h), 1);
    }
}

TEST_F(StreamEngine, SingleFrameWithoutAStream) {
    BYTE data[64];
    VIDEOHDR h{data, sizeof data, 0, 0, 0, 0, {}};
    fake_device::clear_requests();
    EXPECT_EQ(send(DVM_FRAME, reinterpret_cast<LPARAM>(&h), sizeof h), DV_ERR_OK);
    EXPECT_EQ(codes(),
              (std::vector<std::uint32_t>{IOCTL_TARVO_STREAM_INIT, IOCTL_TARVO_STREAM_START,
                                          IOCTL_TARVO_ADD_BUFFER, IOCTL_TARVO_STREAM_STOP,
                                          IOCTL_TARVO_STREAM_FINI}));
    EXPECT_EQ(word(last_input(IOCTL_TARVO_STREAM_INIT), 0), 30u);
    EXPECT_EQ(h.dwFlags & VHDR_DONE, VHDR_DONE);
    // Without the add-buffer answer the frame requests are tried, and fail.
    fake_device::state().failing.insert(IOCTL_TARVO_ADD_BUFFER);
    fake_device::clear_requests();
    h.dwFlags = 0;
    EXPECT_EQ(send(DVM_FRAME, reinterpret_cast<LPARAM>(&h), sizeof h), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(codes(),
              (std::vector<std::uint32_t>{IOCTL_TARVO_STREAM_INIT, IOCTL_TARVO_STREAM_START,
                                          IOCTL_TARVO_ADD_BUFFER, IOCTL_TARVO_FRAME_BEGIN,
                                          IOCTL_TARVO_STREAM_STOP, IOCTL_TARVO_STREAM_FINI}));
    EXPECT_EQ(h.dwFlags, 0u);
}

} // namespace
} // namespace capdrv_test
