#pragma once
// The main form: channel table, band plan section, status line and progress
// bar, as a view over the form model; it drives the radio link and the port
// search. No value or protocol rule is written here again.
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "files/UserFolders.h"
#include "link/DeviceEvents.h"
#include "link/DeviceInfo.h"
#include "ui/ChannelTable.h"
#include "ui/QtEventLoop.h"
#include "ui/QtPrompter.h"
#include "ui/model/FormModel.h"
#include "ui/model/RadioSession.h"
#include "ui/model/RecentFiles.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QUrl;

namespace orvex {

class CFontStatic;
class CReadOnlyComboBox;
namespace form {
struct DluRect;
}

// Command ids shared by menu, accelerators and toolbar.
enum CommandId : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_PRINT = 57607,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_READ_FROM_RADIO = 32771,
    ID_WRITE_TO_RADIO = 32772,
    ID_TOOLBAR_DOWNLOAD = 32775,
    ID_TOOLBAR_UPLOAD = 32776,
    ID_TOOLBAR_EXIT = 32779,
    ID_AUTO_SEARCH = 32784,
    ID_AUTO_STOP = 32785,
    ID_PORT_LIST = 32786,
    ID_CONNECTION_CHECK = 32787,
    ID_FILE_OPEN_BACKUP = 32788,
    ID_FILE_RESTORE_EDITS = 32789,
    ID_WRITE_AND_VERIFY = 32790,
    ID_FILE_COMPARE = 32800,
    ID_FILE_IMPORT_CHANNELS = 32801,
    ID_FILE_EXPORT_CHANNELS = 32802,
};

struct ViewOptions {
    // The protocol's pauses, the watchdog and every other wait of the form
    // on a clock the owner runs on (Loop().RunUntil) instead of the wall
    // clock: for tests.
    bool virtualTime = false;
    // Message boxes; null means real ones.
    IPrompter* prompter = nullptr;
    // The serial port; null means the real one.
    std::function<std::unique_ptr<IRadioPort>(IEventLoop&)> makePort;
    // COM index to device; null means the system's port map.
    CRadioLink::PortResolver resolver;
    // The port settings file; empty means the platform's places.
    std::string portSettingsPath;
    // Where the port goes when portSettingsPath cannot be written; "" for
    // nowhere. Only with portSettingsPath: the platform's places have their own.
    std::string portSettingsFallback;
    // The serial devices present now, in COM order, for the port map the
    // view keeps when no resolver is given; null means the system's scan.
    std::function<std::vector<std::string>()> scanDevices;
    // Where the devices' details and holders are read; empty means "/".
    std::string systemRoot;
    // Devices coming and going; null means the system's own where the
    // devices are the system's (no resolver and no scan given), else none.
    IDeviceEventSource* deviceEvents = nullptr;
    // What the system tells about a device that came; null means what
    // ReadDeviceInfo finds under systemRoot.
    std::function<DeviceInfo(const std::string& device)> deviceInfo;
    // Where backups and unsaved edits are kept; null means the user's own
    // data folder. It must outlive the view.
    const IUserFolders* folders = nullptr;
    // The settings file that keeps the recent-file list; empty means the
    // platform's settings store for the user.
    std::string settingsPath;
};

// Messages of the ways to open a file besides the dialog; each is followed
// by the names not opened, separated by ", ".
namespace viewtexts {
inline constexpr std::string_view kOnlyOneFileOpened = "Only one file is opened at a time; not opened: ";
inline constexpr std::string_view kNotLocalFile = "Only files on this computer can be opened; not opened: ";
// Each followed by the file's name; a refusal's reason is below it.
inline constexpr std::string_view kChannelsNotImported = "No channel was changed; the channels were not imported from ";
inline constexpr std::string_view kChannelsImported = "Channels imported from ";
inline constexpr std::string_view kChannelsNotExported = "The channels were not exported to ";
inline constexpr std::string_view kChannelsExported = "Channels exported to ";
// What to do about a COM number with no device behind it: the window's own
// list of ports, not a command the window's users may never have seen.
// Where the window lists the ports, for the fixes that send the user to
// the cable's port.
inline constexpr std::string_view kPortsListedAt = "Select Port > Port List";
}  // namespace viewtexts

class CQMView : public QWidget, private IFormObserver {
    Q_OBJECT
public:
    explicit CQMView(ViewOptions options = {}, QWidget* parent = nullptr);
    ~CQMView() override;

    // Start-up once the window exists: table, selections, then the port.
    void OnInitialUpdate();
    // Every command, offered to the channel table first. True if handled.
    bool OnCmdMsg(int commandId);
    // Whether an Edit menu command would act now.
    bool EditCommandEnabled(int commandId) const;
    // Edit > Undo and Redo: the typing in a cell being edited, else the
    // form's last change.
    void OnEditUndo();
    void OnEditRedo();
    // File commands with their dialogs; the *To forms skip the dialog.
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    // File > Open Backup...: the Open dialog, starting in the backup folder.
    void OnFileOpenBackup();
    // File > Compare with File...: the differences between the form and a
    // file the Open dialog names, in one message; the form stays as it is.
    void OnFileCompare();
    // The same without the dialog. False when the file was refused (Open's
    // message has been shown) or a transfer runs.
    bool CompareWithFile(const std::string& path);
    // File > Import Channels... and Export Channels...: the ten channels
    // from and to a CSV file; an import is one step Undo takes back. The
    // *From/*To forms skip the dialog; false when nothing was done (a
    // message or the refusal of a transfer says why).
    void OnFileImportChannels();
    bool ImportChannelsFrom(const std::string& path);
    void OnFileExportChannels();
    bool ExportChannelsTo(const std::string& path);
    // File > Restore Unsaved Edits: brings back what an earlier session
    // left unsaved.
    void OnRestoreUnsavedEdits();
    // Program > Write and Verify: the radio's settings kept, the form
    // written, read back and compared; one message with the result.
    void OnWriteAndVerify();
    bool VerifyRunning() const { return m_session->VerifyRunning(); }
    // Unsaved edits of an earlier session wait to be brought back.
    bool RecoveryPending() const;
    const BackupStore& Backups() const { return *m_session->Backups(); }
    // This session's recovery file; empty when there is no data folder.
    std::string RecoveryFilePath() const;
    bool OpenFile(const QString& path);
    // Open of a path given as the file calls take it (UTF-8 on Windows, the
    // system's bytes on POSIX, so a name that is not UTF-8 still opens).
    bool OpenPath(const std::string& path);
    bool SaveFileTo(const QString& path);
    // Files named at start-up or dropped on the window: the first is opened
    // as Open opens it (waiting for the link's pauses, refused during a
    // transfer), the others are named in one message.
    void OpenFiles(const std::vector<std::string>& paths);
    // A drop is taken only when Open would run now.
    bool MayTakeDrop() const { return m_session->MayTakeDrop(); }
    // Dropped URLs: the local files as OpenFiles; the others named in a
    // message.
    void OpenDropped(const QList<QUrl>& urls);
    // The File menu's recent files, newest first.
    std::vector<std::string> RecentFileList() const { return m_recent.Entries(); }
    // An entry of the list chosen: opened as Open does; one that is gone is
    // taken off the list and the user told.
    void OpenRecentFile(const std::string& path);
    void OnExitForm();
    // Select Port > Port List...: the mapped ports, one to remember.
    void OnPortList();
    // Checks the remembered port's device and the line to the radio, and
    // shows each finding with its fix.
    void OnConnectionCheck();
    // Makes COM n the port used from now on and at the next start, as a
    // successful search does. False (and the user told) if the file
    // could not be written; the port is used for this run all the same.
    // The status line says where the file went when its first place
    // refused it.
    bool RememberPort(int com) { return m_session->RememberPort(com); }
    // What the system reported, as the view takes it.
    void OnDeviceEvent(const DeviceEvent& event) { m_session->OnDeviceEvent(event); }

    FormModel& Form() { return m_form; }
    RadioSession& Session() { return *m_session; }
    PortMap& Ports() { return m_session->Ports(); }
    CRadioLink& Link() { return m_session->Link(); }
    CPortSearch& Search() { return m_session->Search(); }
    CGridCtrl* Grid() const { return m_table.Grid(); }
    QtEventLoop& Loop() { return m_loop; }
    CReadOnlyComboBox* ModeSelect() const { return m_cbModeSelect; }
    CReadOnlyComboBox* EmgChannel() const { return m_cbEmgChannel; }
    QCheckBox* ChannelBox(int n) const { return m_boxes.at(n - 1); }
    CFontStatic* StatusLine() const { return m_status; }
    QProgressBar* Progress() const { return m_progress; }
    // The form's size in pixels, from its template and font.
    QSize FormSize() const { return m_formSize; }

signals:
    void captionChanged(const QString& caption);
    void portPaneChanged(const QString& text);
    void closeRequested();
    void recoveryPendingChanged(bool pending);
    void recentFilesChanged();
    // What Undo and Redo can do may have changed.
    void undoStateChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void OnFormChanged(unsigned changes) override;
    void BuildControls();
    void BuildFrames();
    void BuildChannelBoxes();
    void BuildLists();
    void SetTabOrder();
    void RunFileOpen(const QString& startFolder = QString());
    // The Open dialog's choice of one settings file; empty when cancelled.
    QString AskFileToOpen(const QString& startFolder);
    bool IsInputDuringVerify(QObject* watched, QEvent* e) const;
    QString BackupFolderForDialog();
    void RunFileSave();
    // After a successful Open or Save.
    void RememberRecent(const std::string& path);
    QRect Px(int x, int y, int w, int h) const;
    QRect Px(const form::DluRect& r) const;
    void RefreshBandSection();
    void RefreshEmgList();

    QtPrompter m_qtPrompter;
    IPrompter& m_prompter;
    FormModel m_form;
    QtEventLoop m_loop;
    CChannelTable m_table;
    bool m_initialised = false;
    bool m_refreshing = false;
    SystemUserFolders m_systemFolders;
    // Declared after the form and loop it uses.
    std::unique_ptr<RadioSession> m_session;

    std::unique_ptr<IRecentFilesStore> m_recentStore;
    RecentFiles m_recent{*m_recentStore};

    QSize m_base;  // dialog base units of the form's font
    QSize m_formSize;
    CFontStatic* m_titleChannel = nullptr;
    CFontStatic* m_titleSystem = nullptr;
    CFontStatic* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    CReadOnlyComboBox* m_cbModeSelect = nullptr;
    CReadOnlyComboBox* m_cbEmgChannel = nullptr;
    QGroupBox* m_southAfrica = nullptr;
    QGroupBox* m_channelEnable = nullptr;
    QLabel* m_emgLabel = nullptr;
    std::array<QCheckBox*, kChannelEnableCount> m_boxes{};
};

}  // namespace orvex
