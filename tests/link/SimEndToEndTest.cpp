#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>

#include "link/CRadioPort.h"
#include "link/support/RecordingListener.h"
#include "settings/ProtocolBytes.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace orvex {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The simulator as a child process; killed if a test leaves it running.
class SimProcess {
public:
    // Starts it and returns the first line it prints (its device), or "".
    std::string Start(std::vector<std::string> args) {
        if (!m_child.Start(std::move(args))) return {};
        return m_child.FirstLine(10'000);
    }

    // SIGTERM, then the exit status (-1 unless it exited normally).
    int Terminate() {
        m_child.Signal(SIGTERM);
        return m_child.Wait(20'000);
    }

private:
    test::ChildProcess m_child;
};

TEST(SimEndToEnd, EchoAndAnswerArriveTogetherAndTheMemoryIsSavedOnExit) {
    const char* binDir = std::getenv("ORVEX_BIN_DIR");
    ASSERT_NE(binDir, nullptr) << "ORVEX_BIN_DIR is not set";
    test::TempDir dir;
    const std::string link = dir.File("ttyRADIO");
    const std::string json = dir.File("radio.json");

    SimProcess sim;
    const std::string device =
        sim.Start({std::string(binDir) + "/sim/orvex-radio-sim", "--link", link, "--save-json", json});
    ASSERT_FALSE(device.empty());
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), device);

    CRadioPort port;
    test::RecordingListener listener(port);
    port.SetListener(&listener);
    ASSERT_TRUE(port.OpenPort(link, kBaudRate, 0)) << port.LastError();

    const std::pair<std::uint8_t, std::uint8_t> steps[] = {{QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK},
                                                           {QM_PROTO_SET_UPLOAD, QM_PROTO_SET_DOWNLOAD_ACK},
                                                           {QM_PROTO_UPLOAD_REQ, QM_PROTO_READY}};
    std::size_t batches = 0;
    for (const auto& [sent, answer] : steps) {
        ASSERT_EQ(port.WriteComm(&sent, 1), 1);
        ASSERT_TRUE(listener.WaitForBatches(++batches));
        EXPECT_EQ(listener.Batches().back(), (Bytes{sent, answer}));
    }
    // A whole record rides in the same burst as the echo that asked for it.
    const std::uint8_t ack = QM_PROTO_ACK;
    ASSERT_EQ(port.WriteComm(&ack, 1), 1);
    ASSERT_TRUE(listener.WaitForBatches(++batches));
    const Bytes record = listener.Batches().back();
    ASSERT_EQ(record.size(), 12u);
    EXPECT_EQ(record[0], QM_PROTO_ACK);
    EXPECT_EQ(record[1], 1);
    port.ClosePort();

    EXPECT_EQ(sim.Terminate(), 0);
    const test::Bytes saved = test::ReadBytes(json);
    EXPECT_NE(std::string(saved.begin(), saved.end()).find("\"band_plan\": 3"), std::string::npos);
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link outlived the simulator";
}

}  // namespace
}  // namespace orvex
