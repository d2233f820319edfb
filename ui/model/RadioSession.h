#pragma once
// One programming session: what acts on the form and on the radio (the port
// map, the link, the port search, the backups of reads, Write and Verify,
// the recovery file, Connection Check) and the one place that decides
// whether a command may run now. The window and the command line are
// adapters over it: they own the form and the event loop and show what the
// session tells through the form and the prompter.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files/BackupStore.h"
#include "files/UserFolders.h"
#include "link/ConnectionCheckRun.h"
#include "link/DeviceEvents.h"
#include "link/DeviceInfo.h"
#include "link/PortList.h"
#include "link/PortMap.h"
#include "link/PortSearch.h"
#include "link/PortSettingsFile.h"
#include "link/RadioLink.h"
#include "ui/model/FormModel.h"
#include "ui/model/ReadBackups.h"
#include "ui/model/RecoveryKeeper.h"
#include "ui/model/VerifiedWrite.h"

namespace orvex {

// The commands the gate knows; every other command of a front end that
// touches the form counts as Edit.
enum class Command {
    New, Open, Save, Compare, ImportChannels, ExportChannels, RestoreEdits,
    Read, Write, WriteAndVerify, AutoSearch, AutoStop, PortList, ConnectionCheck,
    Exit, Copy, MovePane, Edit,
};

// Why a command may not run now.
enum class Refusal {
    None,
    Verify,    // Write and Verify is between its steps
    Check,     // Connection Check holds the port
    Transfer,  // a transfer runs or is about to
    Search,    // the port search holds the port
};

struct GateVerdict {
    Refusal refusal = Refusal::None;
    bool afterPause = false;  // it may run once the link's pause is over (asked again then)
    bool Refused() const { return refusal != Refusal::None; }
};

struct SessionOptions {
    IPrompter* prompter = nullptr;  // required
    IEventLoop* loop = nullptr;     // required
    // The serial port; null means the real one.
    std::function<std::unique_ptr<IRadioPort>(IEventLoop&)> makePort;
    // COM index to device; null means the port map's numbering, looked at
    // again at every opening and every search.
    CRadioLink::PortResolver resolver;
    PortSettingsPlaces portSettings = DefaultPortSettingsPlaces();
    // The serial devices present now, in COM order; null means the system's scan.
    std::function<std::vector<std::string>()> scanDevices;
    // Where the devices' details and holders are read.
    std::string systemRoot = "/";
    // What the system tells about a device that came; null means what
    // ReadDeviceInfo finds under systemRoot.
    std::function<DeviceInfo(const std::string& device)> deviceInfo;
    // Devices coming and going; null for none. It must outlive the session.
    IDeviceEventSource* deviceEvents = nullptr;
    // Where backups of reads and unsaved edits are kept; null for neither
    // (KeepBackups() starts the backups later). It must outlive the session.
    const IUserFolders* folders = nullptr;
    // The recovery file's name, with folders; none keeps no unsaved edits.
    std::optional<RecoverySession> recovery;
    // The news of a backup kept or not; null puts it on the status line.
    ReadBackups::Report backupNews;
    // How Connection Check's fixes send the user to the cable's port.
    PortPickingAdvice portPicking;
};

class RadioSession {
public:
    RadioSession(FormModel& form, SessionOptions options);
    ~RadioSession();
    RadioSession(const RadioSession&) = delete;
    RadioSession& operator=(const RadioSession&) = delete;

    // Start-up once the front end shows the form: the remembered port opens
    // once the form has settled.
    void OpenRememberedPortSoon();

    // ---- The gate ------------------------------------------------------------
    GateVerdict MayRun(Command command) const;
    // Runs body now, or once the link's pause is over when the gate asks to
    // wait (asked again then, from a task of its own, so a dialog the body
    // opens holds up nothing waiting for the same pause); nothing when
    // refused. A cell being edited ends first for commands that take the
    // form as it stands, and New, Open and Save end a search.
    void Run(Command command, std::function<void()> body);
    // For a command that acts now or not at all (a file named by a script or
    // a test): what refuses it, pauses ignored; on None the edit has ended.
    Refusal Begin(Command command);
    // How the front end ends a cell being edited.
    void SetEditEnder(std::function<void()> end) { m_endEdit = std::move(end); }
    // A drop is taken only when Open would run now or after the pause, and
    // no transfer is about to lock the form.
    bool MayTakeDrop() const;
    // A key pressed anywhere: one key is one stop of a running search.
    void OnAnyKey();

    // ---- Commands --------------------------------------------------------------
    // Write and Verify; done is told the result. False when it did not start.
    bool StartWriteAndVerify(std::function<void(const VerifyResult&)> done);
    bool VerifyRunning() const { return m_verify && m_verify->Running(); }
    // Checks the remembered port's device and the line to the radio off the
    // loop's thread; done gets the findings as one message. False when the
    // gate refused it.
    bool StartConnectionCheck(std::function<void(const UserMessage&)> done);
    bool CheckRunning() const { return m_check != nullptr; }
    // Makes COM n the port used from now on and at the next start. False
    // (and the user told) if the file could not be written.
    bool RememberPort(int com);
    // The ports as Port List shows them, the map looked at again.
    std::vector<PortEntry> PortListing();
    // Before the front end closes: the search and the port given up.
    void PrepareToClose();
    // What the system reported about a device.
    void OnDeviceEvent(const DeviceEvent& event);
    // From now on confirmed reads are kept (with folders given, from the start).
    void KeepBackups(const IUserFolders& folders);

    // ---- The pieces ------------------------------------------------------------
    FormModel& Form() { return m_form; }
    CRadioLink& Link() { return *m_link; }
    CPortSearch& Search() { return *m_search; }
    PortMap& Ports() { return *m_ports; }
    const BackupStore* Backups() const { return m_backupStore.get(); }
    ReadBackups* ReadKeeping() { return m_readBackups.get(); }
    RecoveryKeeper* Keeper() { return m_keeper.get(); }
    const RecoveryKeeper* Keeper() const { return m_keeper.get(); }
    // The identity line the port settings file keeps with COM n.
    std::string IdentityOf(int comNumber) const;

private:
    void RefreshPorts();
    int ComOf(const std::string& device) const;

    FormModel& m_form;
    IPrompter& m_prompter;
    IEventLoop& m_loop;
    PortSettingsPlaces m_portSettings;
    std::shared_ptr<PortMap> m_ports;
    std::function<std::vector<std::string>()> m_scan;
    std::string m_systemRoot;
    PortPickingAdvice m_portPicking;
    std::function<DeviceInfo(const std::string&)> m_deviceInfo;
    IDeviceEventSource* m_deviceEvents = nullptr;
    ReadBackups::Report m_backupNews;
    bool m_mapResolves = false;  // the COM numbers are m_ports', not a given resolver's
    bool m_stopQueued = false;   // a key's stop of the search has not run yet
    std::function<void()> m_endEdit;

    std::unique_ptr<CRadioLink> m_link;
    std::unique_ptr<CPortSearch> m_search;
    // Declared after the link they use, and reset before it goes.
    std::unique_ptr<BackupStore> m_backupStore;
    std::unique_ptr<ReadBackups> m_readBackups;
    std::unique_ptr<VerifiedWrite> m_verify;
    std::unique_ptr<ConnectionCheckRun> m_check;  // while one runs
    std::unique_ptr<RecoveryKeeper> m_keeper;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);  // posted commands must not outlive the session
};

}  // namespace orvex
