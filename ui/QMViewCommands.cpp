// Start-up and the commands of the main form.
#include <QFileDialog>
#include <QFileInfo>

#include "link/CRadioPort.h"
#include "link/ConnectionCheck.h"
#include "link/PortList.h"
#include "link/PortSettingsFile.h"
#include "ui/FormTemplate.h"
#include "ui/PortListDialog.h"
#include "ui/QMView.h"
#include "ui/model/FileCommands.h"

namespace orvex {

void CQMView::OnInitialUpdate() {
    if (m_initialised) return;
    m_initialised = true;
    using namespace form;
    m_table.CreateChannelTable(this, Px(kChannelTable.x, kChannelTable.y, kChannelTable.w, kChannelTable.h));
    m_table.WriteRowLabels();
    m_form.SetStatusText(m_form.StatusText());
    emit captionChanged(QString::fromStdString(m_form.Caption()));
    // The remembered port opens once the form has settled.
    m_link->StopTransfer();
    m_link->After(200, [this] { m_link->OpenRadioPort(); });
}

bool CQMView::OnCmdMsg(int id) {
    if (CGridCtrl* grid = m_table.Grid(); grid && grid->HandleCommand(id)) return true;
    switch (id) {
        case ID_FILE_NEW: OnFileNew(); return true;
        case ID_FILE_OPEN: OnFileOpen(); return true;
        case ID_FILE_SAVE: OnFileSave(); return true;
        case ID_READ_FROM_RADIO:
        case ID_TOOLBAR_UPLOAD: m_link->OnReadFromRadio(); return true;
        case ID_WRITE_TO_RADIO:
        case ID_TOOLBAR_DOWNLOAD: m_link->OnWriteToRadio(); return true;
        case ID_AUTO_SEARCH: m_search->OnAutoSearch(); return true;
        case ID_AUTO_STOP: m_search->OnAutoStop(); return true;
        case ID_PORT_LIST: OnPortList(); return true;
        case ID_CONNECTION_CHECK: OnConnectionCheck(); return true;
        case ID_TOOLBAR_EXIT: OnExitForm(); return true;
    }
    return false;
}

void CQMView::OnFileNew() {
    WhenFileCommandMayRun(*m_link, m_loop, m_form, [this] {
        // A cell being edited ends first: left open, it would put its text
        // into the new form and leave no edit pending to ask about.
        if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
        m_form.New();
    });
}

void CQMView::OnFileOpen() {
    WhenFileCommandMayRun(*m_link, m_loop, m_form, [this] { RunFileOpen(); });
}

void CQMView::OnFileSave() {
    WhenFileCommandMayRun(*m_link, m_loop, m_form, [this] { RunFileSave(); });
}

void CQMView::RunFileOpen() {
    m_form.RequestStopSearch();
    QFileDialog dialog(this, QString(), QString(), "ORVEX Files (*.kvx);;All Files (*.*)");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("kvx");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    OpenFile(dialog.selectedFiles().first());
}

bool CQMView::OpenFile(const QString& path) { return m_form.Open(path.toStdString()); }

void CQMView::RunFileSave() {
    // Taking the focus commits a cell being edited.
    if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
    setFocus(Qt::OtherFocusReason);
    if (!m_form.PrepareSave()) return;
    QFileDialog dialog(this, QString(), QString(), "ORVEX Files (*.kvx)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("kvx");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    m_form.SaveTo(dialog.selectedFiles().first().toStdString());
}

bool CQMView::SaveFileTo(const QString& path) {
    if (m_form.IsTableLocked()) return false;
    if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
    return m_form.Save(path.toStdString());
}

void CQMView::OnPortList() {
    // A search would overwrite the choice with its own find.
    m_form.RequestStopSearch();
    RefreshPorts();
    CPortListDialog dialog(ListPorts(*m_ports, m_link->ConfiguredPort() + 1, m_systemRoot), this);
    if (dialog.exec() != QDialog::Accepted || dialog.ChosenCom() == 0) return;
    RememberPort(dialog.ChosenCom());
}

void CQMView::OnConnectionCheck() {
    // The check opens the port itself: not while a transfer or a search
    // has it.
    if (m_form.IsTableLocked() || m_link->Busy() || m_search->Active()) return;
    const std::string device = m_link->ConfiguredDevice();
    std::vector<Finding> findings = CheckDevice(device, SourcesOfThisProcess());
    m_link->StopTransfer();  // lets go of the port for the line test
    EventLoop lineLoop(EventLoop::Clock::Real);
    CRadioPort linePort;
    const LineTestResult line = RunLineTest(linePort, device, lineLoop);
    findings.push_back(LineFinding(line));
    m_link->OpenRadioPort();  // the remembered port again, as before the check
    const bool answers = line.answer == LineAnswer::Radio;
    m_prompter.Show(UserMessage{"Connection Check: COM" + std::to_string(m_link->ConfiguredPort() + 1) + " (" +
                                    device + ")",
                                FormatFindings(findings), answers ? MsgIcon::None : MsgIcon::Stop, MsgButtons::Ok});
}

bool CQMView::RememberPort(int com) {
    if (com < 1 || com > kPortIndexMax + 1) return false;
    // The next opening uses it; a transfer running now keeps its port.
    m_link->SetConfiguredPort(com - 1);
    m_link->ShowPortInPane(com);
    std::string error;
    if (WritePortSettings(m_portSettingsPath, com - 1, &error, m_mapResolves ? IdentityOf(com) : std::string{})) return true;
    m_prompter.Show(UserMessage{"COM" + std::to_string(com) + " is not remembered for the next start.", error,
                                MsgIcon::Stop, MsgButtons::Ok});
    return false;
}

void CQMView::OnExitForm() {
    m_form.RequestStopSearch();
    m_link->StopTransfer();
    emit closeRequested();
}

}  // namespace orvex
