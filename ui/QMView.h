#pragma once
// The main form: channel table, band plan section, status line and progress
// bar, as a view over the form model; it drives the radio link and the port
// search. No value or protocol rule is written here again.
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "link/DeviceEvents.h"
#include "link/PortMap.h"
#include "link/PortSearch.h"
#include "link/RadioLink.h"
#include "ui/ChannelTable.h"
#include "ui/QtEventLoop.h"
#include "ui/QtPrompter.h"
#include "ui/model/FormModel.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;

namespace orvex {

class CFontStatic;
class CReadOnlyComboBox;

// Command ids shared by menu, accelerators and toolbar.
enum CommandId : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_PRINT = 57607,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_EDIT_UNDO = 57643,
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
};

struct ViewOptions {
    // Message boxes; null means real ones.
    IPrompter* prompter = nullptr;
    // The serial port; null means the real one.
    std::function<std::unique_ptr<IRadioPort>(IEventLoop&)> makePort;
    // COM index to device; null means the system's port map.
    CRadioLink::PortResolver resolver;
    // The port settings file; empty means the platform's place.
    std::string portSettingsPath;
    // The serial devices present now, in COM order, for the port map the
    // view keeps when no resolver is given; null means the system's scan.
    std::function<std::vector<std::string>()> scanDevices;
    // Where the devices' details and holders are read; empty means "/".
    std::string systemRoot;
    // Devices coming and going; null means the system's own where the
    // devices are the system's (no resolver and no scan given), else none.
    IDeviceEventSource* deviceEvents = nullptr;
};

class CQMView : public QWidget, private IFormObserver {
    Q_OBJECT
public:
    explicit CQMView(ViewOptions options = {}, QWidget* parent = nullptr);
    ~CQMView() override;

    // Start-up once the window exists: table, selections, then the port.
    void OnInitialUpdate();
    // Every command, offered to the channel table first. True if handled.
    bool OnCmdMsg(int commandId);
    // File commands with their dialogs; the *To forms skip the dialog.
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    bool OpenFile(const QString& path);
    bool SaveFileTo(const QString& path);
    void OnExitForm();
    // Select Port > Port List...: the mapped ports, one to remember.
    void OnPortList();
    // Checks the remembered port's device and the line to the radio, and
    // shows each finding with its fix.
    void OnConnectionCheck();
    // Makes COM n the port used from now on and at the next start, as a
    // successful search does. False (and the user told) if the file
    // could not be written; the port is used for this run all the same.
    bool RememberPort(int com);
    // What the system reported, as the view takes it.
    void OnDeviceEvent(const DeviceEvent& event);

    FormModel& Form() { return m_form; }
    PortMap& Ports() { return *m_ports; }
    CRadioLink& Link() { return *m_link; }
    CPortSearch& Search() { return *m_search; }
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

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void OnFormChanged(unsigned changes) override;
    void BuildControls();
    void RunFileOpen();
    void RunFileSave();
    QRect Px(int x, int y, int w, int h) const;
    void RefreshBandSection();
    void RefreshEmgList();
    void RefreshPorts();
    int ComOf(const std::string& device) const;
    // The identity line the port settings file keeps with COM n.
    std::string IdentityOf(int comNumber) const;

    QtPrompter m_qtPrompter;
    IPrompter& m_prompter;
    FormModel m_form;
    QtEventLoop m_loop;
    std::unique_ptr<CRadioLink> m_link;
    std::unique_ptr<CPortSearch> m_search;
    CChannelTable m_table;
    std::string m_portSettingsPath;
    std::shared_ptr<PortMap> m_ports;
    std::function<std::vector<std::string>()> m_scan;
    std::string m_systemRoot;
    IDeviceEventSource* m_deviceEvents = nullptr;
    bool m_mapResolves = false;  // the COM numbers are m_ports', not a given resolver's
    bool m_initialised = false;
    bool m_refreshing = false;
    bool m_bStopQueued = false;  // a key's stop of the search has not run yet

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
