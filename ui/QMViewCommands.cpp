// Start-up and the commands of the main form.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "files/FileStore.h"
#include "link/CRadioPort.h"
#include "link/ConnectionCheck.h"
#include "link/PortList.h"
#include "link/PortSettingsFile.h"
#include "ui/FormTemplate.h"
#include "ui/PortListDialog.h"
#include "ui/QMView.h"
#include "ui/model/ChannelExchange.h"
#include "ui/model/FileCommands.h"
#include "ui/model/FormTexts.h"
#include "ui/model/SettingsCompare.h"

namespace orvex {
namespace {

// Followed by the folder and the reason; the dialog opens where it would.
constexpr std::string_view kNoBackupFolderNews = "The backup folder cannot be shown: ";

std::string FileNameOf(const std::string& path) {
    const std::u8string name = filestore::PathFromUtf8(path).filename().u8string();
    return name.empty() ? path : std::string(name.begin(), name.end());
}

// A dropped address names a file of this machine. Windows reaches another
// machine's shared files by name; here "file://host/..." names one only
// when the host is this one.
bool IsFileHere(const QUrl& url) {
#ifdef _WIN32
    return url.isLocalFile();
#else
    return url.isLocalFile() && (url.host().isEmpty() || url.host().compare("localhost", Qt::CaseInsensitive) == 0);
#endif
}

// The bytes the file calls take for a dropped file.
std::string PathOf(const QUrl& url) {
#ifdef _WIN32
    return url.toLocalFile().toStdString();
#else
    // The address carries the name's bytes percent-encoded; decoded as
    // text, a name that is not UTF-8 would lose them.
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
#endif
}

// What was not opened: short names in the text, the full paths below it.
UserMessage NotOpened(std::string_view why, const std::vector<std::string>& names, bool shorten) {
    std::string text(why), detail;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i ? ", " : "") + (shorten ? FileNameOf(names[i]) : names[i]);
        detail += (i ? "\n" : "") + (shorten ? AbsoluteFilePath(names[i]) : names[i]);
    }
    return UserMessage{text, shorten ? detail : std::string(), MsgIcon::None, MsgButtons::Ok};
}

}  // namespace

void CQMView::OnInitialUpdate() {
    if (m_initialised) return;
    m_initialised = true;
    using namespace form;
    m_table.CreateChannelTable(this, Px(kChannelTable.x, kChannelTable.y, kChannelTable.w, kChannelTable.h));
    m_table.WriteRowLabels();
    SetTabOrder();
    m_form.SetStatusText(m_form.StatusText());
    emit captionChanged(QString::fromStdString(m_form.Caption()));
    if (m_keeper) m_keeper->AnnouncePending();
    emit recoveryPendingChanged(RecoveryPending());
    // The remembered port opens once the form has settled.
    m_link->StopTransfer();
    m_link->After(200, [this] { m_link->OpenRadioPort(); });
}

bool CQMView::MayRunDuringVerify(int id) const {
    switch (id) {
        case ID_EDIT_COPY:
        case ID_NEXT_PANE:
        case ID_PREV_PANE:
        case ID_AUTO_STOP:
        case ID_TOOLBAR_EXIT: return true;
        default: return false;
    }
}

bool CQMView::UsesThePort(int id) {
    switch (id) {
        case ID_READ_FROM_RADIO:
        case ID_TOOLBAR_UPLOAD:
        case ID_WRITE_TO_RADIO:
        case ID_TOOLBAR_DOWNLOAD:
        case ID_WRITE_AND_VERIFY:
        case ID_AUTO_SEARCH:
        case ID_PORT_LIST:
        case ID_CONNECTION_CHECK: return true;
        default: return false;
    }
}

bool CQMView::OnCmdMsg(int id) {
    // Refused, as during a transfer: the steps hand the port back and forth
    // and nothing may change the form or the port between them.
    if (VerifyRunning() && !MayRunDuringVerify(id)) return true;
    if (m_check && UsesThePort(id)) return true;
    if (m_table.HandleCommand(id)) return true;
    switch (id) {
        case ID_EDIT_UNDO: OnEditUndo(); return true;
        case ID_EDIT_REDO: OnEditRedo(); return true;
        case ID_FILE_NEW: OnFileNew(); return true;
        case ID_FILE_OPEN: OnFileOpen(); return true;
        case ID_FILE_SAVE: OnFileSave(); return true;
        case ID_FILE_OPEN_BACKUP: OnFileOpenBackup(); return true;
        case ID_FILE_COMPARE: OnFileCompare(); return true;
        case ID_FILE_IMPORT_CHANNELS: OnFileImportChannels(); return true;
        case ID_FILE_EXPORT_CHANNELS: OnFileExportChannels(); return true;
        case ID_FILE_RESTORE_EDITS: OnRestoreUnsavedEdits(); return true;
        case ID_WRITE_AND_VERIFY: OnWriteAndVerify(); return true;
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

bool CQMView::EditCommandEnabled(int id) const {
    if (VerifyRunning()) return id == ID_EDIT_COPY && m_table.Grid() && m_table.Grid()->Core().CanCopy();
    const CGridCtrl* grid = m_table.Grid();
    const CInPlaceEdit* editor = grid ? grid->Editor() : nullptr;
    const bool locked = m_form.IsTableLocked();
    switch (id) {
        case ID_EDIT_UNDO: return (editor && editor->isUndoAvailable()) || m_form.CanUndo();
        case ID_EDIT_REDO: return (editor && editor->isRedoAvailable()) || m_form.CanRedo();
        case ID_EDIT_COPY: return editor ? editor->hasSelectedText() : grid && grid->Core().CanCopy();
        // While a transfer runs, Cut would only copy and Delete do nothing.
        case ID_EDIT_CUT: return !locked && grid && grid->Core().CanCut();
        case ID_EDIT_CLEAR: return editor || (!locked && grid && grid->Core().CanCut());
        case ID_EDIT_PASTE:
            return grid && grid->Core().PasteAllowed() && !QApplication::clipboard()->text().isEmpty();
    }
    return false;
}

// A cell being edited has its own undo: the typing goes first. With none
// left there, the edit ends (a changed cell is a step of its own, taken
// back at once) and the form's history goes on.
void CQMView::OnEditUndo() {
    if (CGridCtrl* grid = m_table.Grid()) {
        if (CInPlaceEdit* editor = grid->Editor(); editor && editor->isUndoAvailable()) {
            editor->undo();
            return;
        }
        grid->EndEditing();
    }
    m_form.Undo();
}

void CQMView::OnEditRedo() {
    if (CGridCtrl* grid = m_table.Grid()) {
        if (CInPlaceEdit* editor = grid->Editor(); editor && editor->isRedoAvailable()) {
            editor->redo();
            return;
        }
        grid->EndEditing();
    }
    m_form.Redo();
}

void CQMView::WhenFileMayRun(std::function<void()> command) {
    // A command that waited for a pause may come due between the steps.
    WhenFileCommandMayRun(*m_link, m_loop, m_form, [this, command = std::move(command)] {
        if (!VerifyRunning()) command();
    });
}

void CQMView::OnFileNew() {
    WhenFileMayRun([this] {
        // A cell being edited ends first: left open, it would put its text
        // into the new form and leave no edit pending to ask about.
        if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
        m_form.New();
    });
}

void CQMView::OnFileOpen() {
    WhenFileMayRun([this] { RunFileOpen(); });
}

void CQMView::OnFileSave() {
    WhenFileMayRun([this] { RunFileSave(); });
}

void CQMView::OnFileOpenBackup() {
    WhenFileMayRun([this] { RunFileOpen(BackupFolderForDialog()); });
}

QString CQMView::BackupFolderForDialog() {
    const std::string& folder = m_backupStore->Folder();
    if (folder.empty()) return {};
    // Made if missing: a dialog asked for a folder that is not there
    // would quietly show another one.
    const std::filesystem::path path = filestore::PathFromUtf8(folder);
    std::error_code made;
    std::filesystem::create_directories(path, made);
    std::error_code looked;
    if (std::filesystem::is_directory(path, looked)) return QString::fromStdString(folder);
    const std::error_code& why = made ? made : looked;
    m_form.SetStatusText(std::string(kNoBackupFolderNews) + folder + ": " +
                         (why ? why.message() : std::string("not a folder")));
    return {};
}

void CQMView::OnRestoreUnsavedEdits() {
    WhenFileMayRun([this] {
        if (!m_keeper) return;
        // A cell being edited ends first: left open, it would put its text
        // into the restored form.
        if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
        const std::optional<PendingRecovery> offered = m_keeper->Pending();
        m_keeper->RestorePending();  // a refusal is shown by the keeper
        // The news of the file just dealt with would now mislead.
        if (offered && m_form.StatusText() == PendingRecoveryText(*offered)) {
            const std::optional<PendingRecovery> next = m_keeper->Pending();
            m_form.SetStatusText(next ? PendingRecoveryText(*next) : std::string(texts::kTotalRangeHint));
        }
        emit recoveryPendingChanged(RecoveryPending());
    });
}

void CQMView::OnWriteAndVerify() {
    WhenFileMayRun([this] {
        if (m_search->Active()) return;
        m_beforeVerify.emplace(m_form.Snapshot(), m_form.Baseline());
        const bool started = m_verify->Start([this](const VerifyResult& result) {
            m_beforeVerify.reset();
            const UserMessage message = VerifyMessage(result);
            if (!message.text.empty()) m_prompter.Show(message);
        });
        if (!started) m_beforeVerify.reset();
    });
}

QString CQMView::AskFileToOpen(const QString& startFolder) {
    QFileDialog dialog(this, QString(), startFolder, "ORVEX Files (*.kvx);;All Files (*.*)");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("kvx");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

void CQMView::RunFileOpen(const QString& startFolder) {
    m_form.RequestStopSearch();
    const QString path = AskFileToOpen(startFolder);
    if (!path.isEmpty()) OpenFile(path);
}

void CQMView::OnFileCompare() {
    WhenFileMayRun([this] {
        const QString path = AskFileToOpen(QString());
        if (!path.isEmpty()) CompareWithFile(path.toStdString());
    });
}

bool CQMView::CompareWithFile(const std::string& path) {
    // Mid-transfer the form holds half of what is coming or going.
    if (m_form.IsTableLocked() || VerifyRunning()) return false;
    // The cell being edited is part of what the user compares.
    if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
    FormModel file(m_form.Prompter());
    file.StartUp();
    if (!file.Open(path)) return false;
    m_form.Prompter().Show(CompareWithFileMessage(CompareForms(m_form, file), FileNameOf(path)));
    return true;
}

void CQMView::OnFileImportChannels() {
    WhenFileMayRun([this] {
        QFileDialog dialog(this, QString(), QString(), "CSV Files (*.csv);;All Files (*)");
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            ImportChannelsFrom(dialog.selectedFiles().first().toStdString());
    });
}

bool CQMView::ImportChannelsFrom(const std::string& path) {
    if (VerifyRunning()) return false;
    // A cell being edited ends first, as its own step: the import replaces
    // it, and Undo gives back both in turn.
    if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
    const auto refuse = [&](const std::string& why) {
        m_form.Prompter().Show(UserMessage{std::string(viewtexts::kChannelsNotImported) + FileNameOf(path), why,
                                           MsgIcon::Stop, MsgButtons::Ok});
        return false;
    };
    if (m_form.IsTableLocked()) return refuse(std::string(kImportDuringTransfer));
    const ImportText input = ReadImportFile(path);
    if (!input.ok) return refuse(FileNameOf(path) + " " + input.error);
    const ChannelImport imported = ImportChannelCsv(m_form, input.text);
    if (!imported.ok) return refuse(imported.error);
    m_form.SetStatusText(std::string(viewtexts::kChannelsImported) + FileNameOf(path));
    return true;
}

void CQMView::OnFileExportChannels() {
    WhenFileMayRun([this] {
        if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
        QFileDialog dialog(this, QString(), QString(), "CSV Files (*.csv)");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("csv");
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            ExportChannelsTo(dialog.selectedFiles().first().toStdString());
    });
}

bool CQMView::ExportChannelsTo(const std::string& path) {
    // Mid-transfer the table holds half of what is coming or going.
    if (m_form.IsTableLocked() || VerifyRunning()) return false;
    if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
    const filestore::Result written = ExportChannelCsvFile(m_form, path);
    if (!written.ok()) {
        m_form.Prompter().Show(UserMessage{std::string(viewtexts::kChannelsNotExported) + FileNameOf(path),
                                           written.detail, MsgIcon::Stop, MsgButtons::Ok});
        return false;
    }
    m_form.SetStatusText(std::string(viewtexts::kChannelsExported) + FileNameOf(path));
    return true;
}

bool CQMView::OpenFile(const QString& path) { return OpenPath(path.toStdString()); }

bool CQMView::OpenPath(const std::string& path) {
    // A cell being edited ends first: left open, it would put its text into
    // the form just read.
    if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
    if (!m_form.Open(path)) return false;
    RememberRecent(path);
    return true;
}

void CQMView::OpenFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    WhenFileMayRun([this, paths] {
        OpenPath(paths.front());
        if (paths.size() > 1)
            m_prompter.Show(NotOpened(viewtexts::kOnlyOneFileOpened, {paths.begin() + 1, paths.end()}, true));
    });
}

bool CQMView::MayTakeDrop() const {
    // A pause of the link is waited out, as Open waits for it; a transfer,
    // or a Read or Write about to start one, refuses the drop at once, so
    // the pointer shows it rather than the file being dropped unopened.
    if (VerifyRunning() || m_form.IsTableLocked() || m_link->Starting()) return false;
    return m_link->Pausing() || !m_link->Busy();
}

void CQMView::OpenDropped(const QList<QUrl>& urls) {
    std::vector<std::string> files, others;
    for (const QUrl& url : urls) {
        if (IsFileHere(url)) files.push_back(PathOf(url));
        else others.push_back(url.toDisplayString().toStdString());
    }
    if (!others.empty()) m_prompter.Show(NotOpened(viewtexts::kNotLocalFile, others, false));
    OpenFiles(files);
}

void CQMView::OpenRecentFile(const std::string& path) {
    WhenFileMayRun([this, path] {
        // An entry that exists but cannot be read stays: Open's message says
        // why, and the file may be readable again (a drive mounted, a mode
        // mended). Only a file that is gone leaves the list.
        if (!FileIsGone(path)) {
            OpenPath(path);
            return;
        }
        const std::string error = m_recent.Remove(path);
        emit recentFilesChanged();
        m_prompter.Show(RecentFileGoneMessage(path));
        if (!error.empty()) m_form.SetStatusText(std::string(kRecentFilesNotKept) + error);
    });
}

void CQMView::RememberRecent(const std::string& path) {
    const std::string error = m_recent.Add(path);
    emit recentFilesChanged();
    if (!error.empty()) m_form.SetStatusText(std::string(kRecentFilesNotKept) + error);
}

void CQMView::RunFileSave() {
    // Taking the focus commits a cell being edited.
    if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
    setFocus(Qt::OtherFocusReason);
    if (!m_form.PrepareSave()) return;
    QFileDialog dialog(this, QString(), QString(), "ORVEX Files (*.kvx)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("kvx");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::string path = dialog.selectedFiles().first().toStdString();
    if (m_form.SaveTo(path)) RememberRecent(path);
}

bool CQMView::SaveFileTo(const QString& path) {
    if (m_form.IsTableLocked()) return false;
    if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
    if (!m_form.Save(path.toStdString())) return false;
    RememberRecent(path.toStdString());
    return true;
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
    if (m_form.IsTableLocked() || m_link->Busy() || m_search->Active() || m_check) return;
    const std::string device = m_link->ConfiguredDevice();
    // Our own hold on the port would pass for another program's where the
    // check learns of holders by opening the port (Windows).
    m_link->StopTransfer();
    // The line test listens for a while: the window goes on meanwhile.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_check = std::make_unique<ConnectionCheckRun>(
        m_loop, device, SourcesOfThisProcess(), nullptr,
        [this, device](std::vector<Finding> findings, bool answers) {
            OnConnectionCheckDone(device, std::move(findings), answers);
        });
}

void CQMView::OnConnectionCheckDone(const std::string& device, std::vector<Finding> findings, bool answers) {
    m_check.reset();
    QApplication::restoreOverrideCursor();
    m_link->OpenRadioPort();  // the remembered port again, as before the check
    m_prompter.Show(UserMessage{"Connection Check: COM" + std::to_string(m_link->ConfiguredPort() + 1) + " (" +
                                    device + ")",
                                FormatFindings(findings), answers ? MsgIcon::None : MsgIcon::Stop, MsgButtons::Ok});
}

bool CQMView::RememberPort(int com) {
    if (com < 1 || com > kPortIndexMax + 1) return false;
    // The next opening uses it; a transfer running now keeps its port.
    m_link->SetConfiguredPort(com - 1);
    m_link->ShowPortInPane(com);
    const PortSettingsWrite written =
        WritePortSettingsTo(m_portSettings, com - 1, m_mapResolves ? IdentityOf(com) : std::string{});
    if (written.moved) m_form.SetStatusText(MovedPortSettingsText(com, m_portSettings));
    if (written.ok) return true;
    m_prompter.Show(UserMessage{"COM" + std::to_string(com) + " is not remembered for the next start.", written.error,
                                MsgIcon::Stop, MsgButtons::Ok});
    return false;
}

void CQMView::OnExitForm() {
    m_form.RequestStopSearch();
    m_link->StopTransfer();
    emit closeRequested();
}

}  // namespace orvex
