#include "ui/model/RadioSession.h"

#include "link/CRadioPort.h"
#include "link/ConnectionCheck.h"
#include "link/DeviceIdentity.h"
#include "ui/model/RecoveryFile.h"
#include "ui/model/RecoveryTexts.h"

namespace orvex {
namespace {

// What the gate asks of a command.
enum class Kind {
    Always,     // never refused: it copies, moves the focus, stops or closes
    Edit,       // changes the form; the channel table refuses it during a transfer
    Port,       // opens the port; the link and the search wait out their own pauses
    Check,      // opens the port itself, and only when nothing else has it
    File,       // takes the form as it stands; waits out the link's pauses
    FilePort,   // both: Write and Verify
};

Kind KindOf(Command c) {
    switch (c) {
        case Command::Copy:
        case Command::MovePane:
        case Command::AutoStop:
        case Command::Exit: return Kind::Always;
        case Command::Edit: return Kind::Edit;
        case Command::Read:
        case Command::Write:
        case Command::AutoSearch:
        case Command::PortList: return Kind::Port;
        case Command::ConnectionCheck: return Kind::Check;
        case Command::WriteAndVerify: return Kind::FilePort;
        default: return Kind::File;
    }
}

// A cell being edited is part of what these take; left open, it would put
// its text into the form they bring (New, Open, a restore) or leave it out
// of what they write or compare.
bool EndsEdit(Command c) { return KindOf(c) == Kind::File; }

// A search would overwrite the form's file or the port's choice with its own.
bool EndsSearch(Command c) { return c == Command::New || c == Command::Open || c == Command::Save; }

}  // namespace

RadioSession::RadioSession(FormModel& form, SessionOptions options)
    : m_form(form),
      m_prompter(*options.prompter),
      m_loop(*options.loop),
      m_portSettings(std::move(options.portSettings)),
      m_scan(std::move(options.scanDevices)),
      m_systemRoot(options.systemRoot.empty() ? std::string("/") : options.systemRoot),
      m_portPicking(std::move(options.portPicking)),
      m_deviceInfo(std::move(options.deviceInfo)),
      m_deviceEvents(options.deviceEvents),
      m_backupNews(std::move(options.backupNews)) {
    const PortSettingsRead remembered = ReadPortSettingsFrom(m_portSettings);
    // The remembered cable keeps its number, whatever name it has now.
    m_ports = std::make_shared<PortMap>(PortMap::FromSystem(nullptr, &remembered));
    if (!m_deviceInfo) m_deviceInfo = [this](const std::string& device) { return ReadDeviceInfo(device, m_systemRoot); };
    CRadioLink::PortResolver resolve = options.resolver;
    if (!resolve) {
        // The devices are looked at again at every opening and every search,
        // so a cable plugged in after the start is found.
        resolve = [this](int index) {
            RefreshPorts();
            return m_ports->DeviceFor(index + 1);
        };
        m_mapResolves = true;
    }
    if (m_deviceEvents) m_deviceEvents->SetHandler([this](const DeviceEvent& e) { OnDeviceEvent(e); });
    std::unique_ptr<IRadioPort> port = options.makePort ? options.makePort(m_loop) : std::make_unique<CRadioPort>();
    m_link = std::make_unique<CRadioLink>(m_form, m_loop, std::move(port), std::move(resolve));
    m_search = std::make_unique<CPortSearch>(m_form, *m_link, m_loop, m_portSettings);
    if (m_mapResolves) {
        m_search->SetProbeList([this] {
            RefreshPorts();
            return m_ports->PresentNumbers();
        });
        m_search->SetIdentityOf([this](int com) { return IdentityOf(com); });
    }
    m_link->SetConfiguredPort(remembered.index);
    // A write cut off names the last read's backup as a way back.
    m_link->SetDoubtAdvice({.lastBackup = [this] { return m_readBackups ? m_readBackups->LastPath() : std::string(); }});
    if (options.folders) KeepBackups(*options.folders);
    else m_verify = std::make_unique<VerifiedWrite>(m_form, *m_link, nullptr);
    // Without a data folder there is nowhere safe to keep edits; a relative
    // path would scatter them into whatever folder the program started in.
    if (options.folders && options.recovery)
        if (const std::string folder = RecoveryFolder(*options.folders); !folder.empty())
            m_keeper = std::make_unique<RecoveryKeeper>(m_form, m_loop, folder, *options.recovery);
}

RadioSession::~RadioSession() {
    *m_alive = false;
    m_check.reset();  // its findings have no one to go to
    if (m_deviceEvents) m_deviceEvents->SetHandler(nullptr);
    m_verify.reset();  // gives back what counted as saved before it began
    m_keeper.reset();  // keeps the edits one last time
    m_readBackups.reset();
    m_search.reset();
    m_link.reset();
}

void RadioSession::KeepBackups(const IUserFolders& folders) {
    if (m_readBackups || VerifyRunning()) return;
    m_backupStore = std::make_unique<BackupStore>(BackupFolder(folders));
    // A backup that cannot be kept never fails the read: the news says why.
    m_readBackups = std::make_unique<ReadBackups>(m_form, *m_backupStore, [this](const std::string& news) {
        if (m_backupNews) {
            m_backupNews(news);
            return;
        }
        // Edits the read replaced were set aside while it ran: that stays news.
        if (m_form.View().StatusText() == texts::kRecoveryReplacedKept)
            m_form.View().SetStatusText(news + ". " + std::string(texts::kRecoveryReplacedKeptShort));
        else
            m_form.View().SetStatusText(news);
    });
    m_verify = std::make_unique<VerifiedWrite>(m_form, *m_link, m_readBackups.get());
}

void RadioSession::OpenRememberedPortSoon() {
    m_link->StopTransfer();
    m_link->After(200, [this] { m_link->OpenRadioPort(); });
}

GateVerdict RadioSession::MayRun(Command command) const {
    const Kind kind = KindOf(command);
    if (kind == Kind::Always) return {};
    // The steps of Write and Verify hand the port back and forth; nothing
    // may change the form or the port between them.
    if (VerifyRunning()) return {Refusal::Verify};
    const bool usesPort = kind == Kind::Port || kind == Kind::Check || kind == Kind::FilePort;
    if (m_check && usesPort) return {Refusal::Check};
    switch (kind) {
        case Kind::Check:
            if (m_form.View().IsTableLocked() || m_link->Activity().Busy()) return {Refusal::Transfer};
            if (m_search->Active()) return {Refusal::Search};
            return {};
        case Kind::File:
        case Kind::FilePort:
            if (kind == Kind::FilePort && m_search->Active()) return {Refusal::Search};
            // A pause comes between a read's command and its locking of the
            // table, and between a write's last byte and its completion
            // message: acting in it would change the form mid-transfer.
            if (m_link->Activity().pausing) return {Refusal::None, true};
            if (m_link->Activity().Busy() || m_form.View().IsTableLocked()) return {Refusal::Transfer};
            return {};
        default: return {};
    }
}

void RadioSession::Run(Command command, std::function<void()> body) {
    const GateVerdict verdict = MayRun(command);
    if (verdict.Refused()) return;
    if (verdict.afterPause) {
        m_link->WhenIdle([this, command, body = std::move(body), alive = std::weak_ptr<bool>(m_alive)] {
            if (!alive.lock()) return;
            // Another pause may have begun by the time the task runs.
            m_loop.Post([this, command, body, alive] {
                if (alive.lock()) Run(command, body);
            });
        });
        return;
    }
    if (Begin(command) == Refusal::None) body();
}

Refusal RadioSession::Begin(Command command) {
    GateVerdict verdict = MayRun(command);
    // Acting now, a pause is no refusal: only a transfer holding the form is.
    if (verdict.refusal == Refusal::Transfer || verdict.afterPause)
        verdict.refusal = m_form.View().IsTableLocked() ? Refusal::Transfer : Refusal::None;
    if (verdict.Refused()) return verdict.refusal;
    if (EndsSearch(command)) m_search->Cancel();
    if (EndsEdit(command) && m_endEdit) m_endEdit();
    return Refusal::None;
}

bool RadioSession::MayTakeDrop() const {
    // A pause of the link is waited out, as Open waits for it; a Read or
    // Write about to start refuses the drop at once, so the pointer shows it
    // rather than the file being dropped unopened.
    return !MayRun(Command::Open).Refused() && !m_form.View().IsTableLocked() && !m_link->Activity().starting;
}

void RadioSession::OnAnyKey() {
    // A key the focused widget ignores comes past again for each parent, and
    // a stop that waits for a probe's pause leaves the search active until
    // then: one key must still mean one stop.
    if (!m_search->Active() || m_stopQueued) return;
    m_stopQueued = true;
    m_search->OnAutoStop();
    m_link->WhenIdle([this] { m_stopQueued = false; });
}

bool RadioSession::StartWriteAndVerify(std::function<void(const VerifyResult&)> done) {
    if (MayRun(Command::WriteAndVerify).Refused()) return false;
    // The cell edit under way is part of what is written and compared: it is
    // asked about and ended before the command holds the form, which would
    // take no edit afterwards.
    if (m_endEdit && m_form.View().EditPending()) {
        if (!GoOnPastUnfinishedEdit(m_form)) return false;
        m_endEdit();
    }
    return m_verify->Start(std::move(done));
}

bool RadioSession::StartConnectionCheck(std::function<void(const UserMessage&)> done) {
    if (MayRun(Command::ConnectionCheck).Refused()) return false;
    const std::string device = m_link->ConfiguredDevice();
    // Our own hold on the port would pass for another program's where the
    // check learns of holders by opening the port (Windows).
    m_link->StopTransfer();
    CheckSources sources = SourcesOfThisProcess();
    sources.picking = m_portPicking;
    m_check = std::make_unique<ConnectionCheckRun>(
        m_loop, device, std::move(sources), nullptr,
        [this, device, done = std::move(done)](std::vector<Finding> findings, bool answers) {
            m_check.reset();
            m_link->OpenRadioPort();  // the remembered port again, as before the check
            done(UserMessage{"Connection Check: COM" + std::to_string(m_link->ConfiguredPort() + 1) + " (" +
                                 device + ")",
                             FormatFindings(findings), answers ? MsgIcon::None : MsgIcon::Stop, MsgButtons::Ok});
        });
    return true;
}

bool RadioSession::RememberPort(int com) {
    if (com < 1 || com > kPortIndexMax + 1) return false;
    // The next opening uses it; a transfer running now keeps its port.
    m_link->ChoosePort(com - 1);
    const Outcome<RememberedPort> written =
        WritePortSettingsTo(m_portSettings, com - 1, m_mapResolves ? IdentityOf(com) : std::string{});
    if (written) {
        if (written.value().moved) m_form.View().SetStatusText(MovedPortSettingsText(com, m_portSettings));
        return true;
    }
    m_prompter.Show(UserMessage{"COM" + std::to_string(com) + " is not remembered for the next start.",
                                written.problem().Text(), MsgIcon::Stop, MsgButtons::Ok});
    return false;
}

std::vector<PortEntry> RadioSession::PortListing() {
    m_search->Cancel();
    RefreshPorts();
    return ListPorts(*m_ports, m_link->ConfiguredPort() + 1, m_systemRoot);
}

void RadioSession::PrepareToClose() {
    m_search->Cancel();
    m_link->StopTransfer();
}

void RadioSession::RefreshPorts() {
    if (m_scan) m_ports->SetScanned(m_scan());
    else m_ports->Refresh();
}

std::string RadioSession::IdentityOf(int comNumber) const {
    return StableIdentity(m_ports->DeviceFor(comNumber), m_systemRoot);
}

int RadioSession::ComOf(const std::string& device) const {
    for (int n = 1; n <= kMaxComNumber; ++n)
        if (m_ports->DeviceFor(n) == device) return n;
    return 0;
}

void RadioSession::OnDeviceEvent(const DeviceEvent& event) {
    if (event.device.empty()) return;
    const bool added = event.kind == DeviceEvent::Kind::Added;
    // A device that went frees its number at the refresh: it is asked for
    // before; one that came gets its number there.
    int com = added ? 0 : ComOf(event.device);
    RefreshPorts();
    if (added) com = ComOf(event.device);
    // Virtual consoles and ports the map does not number are no news.
    if (com == 0) return;
    // A transfer or a search owns the status line: their texts are what
    // the user waits on. The map is fresh all the same, so the next opening
    // or probe finds the device; a cable pulled during a transfer ends it
    // through the port's own error.
    if (m_form.View().IsTableLocked() || m_search->Active()) return;
    m_form.View().SetStatusText(DeviceEventNews(event, com, added ? m_deviceInfo(event.device).product : std::string()));
}

}  // namespace orvex
