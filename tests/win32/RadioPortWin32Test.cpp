// The Win32 serial port against the simulated radio on a COM port that Wine
// maps to a pseudo-terminal (tests/wine/with-sim.sh). ORVEX_TEST_WATCH says
// how the watcher must wait: "events" (WaitCommEvent works) or "polling"
// (the driver cannot wait for events; the input count is watched).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "link/CRadioPort.h"
#include "link/PortMap.h"
#include "link/support/RecordingListener.h"
#include "settings/ProtocolBytes.h"
#include "settings/Trace.h"

namespace orvex {
namespace {

using namespace std::chrono_literals;
using Bytes = test::RecordingListener::Bytes;

constexpr std::string_view kPollingTrace = "port events unavailable";

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// The test's COM port by the name the application builds for it.
std::string TestDevice() {
    const auto com = ParseComName(Env("ORVEX_TEST_COM"));
    return com ? PortMap().DeviceFor(*com) : std::string();
}

Bytes Joined(const std::vector<Bytes>& batches) {
    Bytes all;
    for (const Bytes& b : batches) all.insert(all.end(), b.begin(), b.end());
    return all;
}

class RadioPortWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(TestDevice().empty()) << "run through tests/wine/with-sim.sh";
        SetTraceSink([this](const std::string& line) {
            std::lock_guard lock(m_traceMutex);
            m_trace += line;
        });
    }
    void TearDown() override { SetTraceSink(nullptr); }

    bool Traced(std::string_view text) {
        std::lock_guard lock(m_traceMutex);
        return m_trace.find(text) != std::string::npos;
    }

    // The device check: the cable's echo and the radio's answer.
    static void Probe(CRadioPort& port) {
        const std::uint8_t chk = QM_PROTO_CHK_DEV;
        ASSERT_EQ(port.WriteComm(&chk, 1), 1);
    }

    std::mutex m_traceMutex;
    std::string m_trace;
};

TEST_F(RadioPortWin32, EchoAndAnswerArriveAsOneBatch) {
    EXPECT_EQ(TestDevice().rfind("\\\\.\\COM", 0), 0u) << TestDevice();
    CRadioPort port;
    test::RecordingListener listener(port);
    port.SetListener(&listener);
    ASSERT_TRUE(port.OpenPort(TestDevice(), 9600, 0)) << port.LastError();
    EXPECT_TRUE(port.IsConnected());
    Probe(port);
    ASSERT_TRUE(listener.WaitForBatches(1));
    EXPECT_EQ(listener.Batches()[0], (Bytes{QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK}));
    // Nothing more comes, so no further notification either.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(listener.Batches().size(), 1u);
    port.ClosePort();
    EXPECT_FALSE(port.IsConnected());

    const bool polling = Traced(kPollingTrace);
    if (Env("ORVEX_TEST_WATCH") == "events") {
        EXPECT_FALSE(polling) << "the watcher should have waited on port events";
    } else if (Env("ORVEX_TEST_WATCH") == "polling") {
        EXPECT_TRUE(polling) << "the watcher should have fallen back to the input count";
    }
}

TEST_F(RadioPortWin32, ABurstOfManyBytesArrivesWholeAndInOrder) {
    CRadioPort port;
    test::RecordingListener listener(port);
    port.SetListener(&listener);
    ASSERT_TRUE(port.OpenPort(TestDevice(), 9600, 0)) << port.LastError();
    const Bytes probes(40, QM_PROTO_CHK_DEV);
    ASSERT_EQ(port.WriteComm(probes.data(), static_cast<int>(probes.size())), 40);
    Bytes all;
    for (int i = 0; i < 500 && all.size() < 80; ++i) {
        std::this_thread::sleep_for(10ms);
        all = Joined(listener.Batches());
    }
    ASSERT_EQ(all.size(), 80u);
    EXPECT_EQ(std::count(all.begin(), all.end(), QM_PROTO_CHK_DEV), 40);
    EXPECT_EQ(std::count(all.begin(), all.end(), QM_PROTO_CHK_DEV_ACK), 40);
    EXPECT_EQ(all.front(), QM_PROTO_CHK_DEV);  // the echo of the first byte leads
}

TEST_F(RadioPortWin32, OpenCloseCyclesKeepWorking) {
    // A write and a port probe close and reopen the port at once, over and
    // over; every opening must see its own traffic.
    CRadioPort port;
    for (int i = 0; i < 30; ++i) {
        test::RecordingListener listener(port);
        port.SetListener(&listener);
        ASSERT_TRUE(port.OpenPort(TestDevice(), 9600, 0)) << "opening " << i << ": " << port.LastError();
        Probe(port);
        ASSERT_TRUE(listener.WaitForBatches(1)) << "opening " << i;
        EXPECT_EQ(Joined(listener.Batches()).back(), QM_PROTO_CHK_DEV_ACK) << "opening " << i;
        port.ClosePort();
        port.SetListener(nullptr);
    }
}

TEST_F(RadioPortWin32, CloseEndsAnIdleWatcher) {
    CRadioPort port;
    ASSERT_TRUE(port.OpenPort(TestDevice(), 9600, 0)) << port.LastError();
    std::this_thread::sleep_for(100ms);  // the watcher is waiting by now
    port.ClosePort();  // a watcher that does not end hangs here, and the test's deadline reports it
    // The port can be had again at once.
    ASSERT_TRUE(port.OpenPort(TestDevice(), 9600, 0)) << port.LastError();
}

TEST_F(RadioPortWin32, ClosingFromInsideTheNotificationDoesNotDeadlock) {
    CRadioPort port;
    struct Closer : IPortListener {
        CRadioPort& port;
        std::atomic<int> calls{0};
        explicit Closer(CRadioPort& p) : port(p) {}
        void OnPortData(std::uint16_t) override {
            ++calls;
            port.ClosePort();
        }
        void OnPortQueueFull() override {}
        void OnPortHangUp() override {}
    } closer(port);
    port.SetListener(&closer);
    ASSERT_TRUE(port.OpenPort(TestDevice(), 9600, 0)) << port.LastError();
    Probe(port);
    for (int i = 0; i < 300 && closer.calls == 0; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(closer.calls, 1);
    EXPECT_FALSE(port.IsConnected());
    port.SetListener(nullptr);

    test::RecordingListener listener(port);
    port.SetListener(&listener);
    ASSERT_TRUE(port.OpenPort(TestDevice(), 9600, 0)) << port.LastError();
    Probe(port);
    EXPECT_TRUE(listener.WaitForBatches(1));
    port.ClosePort();
}

TEST_F(RadioPortWin32, APortThatIsNotThereSaysSo) {
    CRadioPort port;
    EXPECT_FALSE(port.OpenPort(PortMap().DeviceFor(250), 9600, 0));
    EXPECT_FALSE(port.IsConnected());
    EXPECT_NE(port.LastError().Text().find("\\\\.\\COM250: no such device"), std::string::npos) << port.LastError();

    EXPECT_FALSE(port.OpenPort("", 9600, 0));
    EXPECT_FALSE(port.LastError().Text().empty());
    EXPECT_EQ(port.WriteComm(reinterpret_cast<const std::uint8_t*>("x"), 1), 0);
}

}  // namespace
}  // namespace orvex
