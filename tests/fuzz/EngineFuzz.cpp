// The transfer engine fed arbitrary batches from the radio, in either
// direction and at every stage: never a crash, never a hang, and once the
// dust settles the table is unlocked and the controls usable again.
#include <cstdlib>

#include "fuzz/FuzzSupport.h"
#include "link/EventLoop.h"
#include "link/RadioLink.h"
#include "ui/model/FormModel.h"

using namespace orvex;

namespace {

// A port that takes every byte and delivers whatever the input says.
class FuzzPort : public IRadioPort {
public:
    bool OpenPort(const std::string&, unsigned, std::uint16_t) override { return m_open = true; }
    void ClosePort() override { m_open = false; }
    bool IsConnected() const override { return m_open; }
    int WriteComm(const std::uint8_t*, int count) override { return m_open ? count : 0; }
    Problem LastError() const override { return {}; }
    void SetListener(IPortListener*) override {}
    void Deliver(const std::uint8_t* bytes, int n) {
        WithQueue([&](CByteQueue& q) {
            for (int i = 0; i < n; ++i) q.PutByte(bytes[i]);
        });
    }

private:
    bool m_open = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size > 4096) return 0;
    fuzz::SilentPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    EventLoop loop(EventLoop::Clock::Virtual);
    auto owned = std::make_unique<FuzzPort>();
    FuzzPort* port = owned.get();
    CRadioLink link(form, loop, std::move(owned), [](int) { return std::string("fuzz"); });

    const bool write = data[0] & 1;
    if (write) {
        form.OnModeSelect(data[1] % 6 == 5 ? 3 : data[1] % 5);
        if (data[1] & 0x40) form.ClickChannelBox(1 + data[1] % 23);
        static const char* kCells[] = {"26.0000", "", "30.0000", "27.0010", "30.0025", "abc", "27.1250", "0"};
        for (int row = 1; row <= 10; ++row) form.SetCellText(row, kCells[(data[2] + row) % 8]);
        link.OnWriteToRadio();
    } else {
        link.OnReadFromRadio();
    }
    loop.RunFor(400);
    std::size_t i = 3;
    while (i < size) {
        const int n = data[i++] % 44;
        const int chunk = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(n), size - i));
        port->Deliver(data + i, chunk);
        i += static_cast<std::size_t>(chunk);
        link.OnPortData();
        const int waitMs = i < size ? (data[i - 1] % 8) * 300 : 0;
        loop.RunFor(waitMs);
    }
    // Every silence ends within a few watchdog periods.
    loop.RunUntil([&] { return link.Activity().Settled(); }, 60000);
    if (link.Activity().Busy() || form.View().IsTableLocked()) std::abort();
    return 0;
}
