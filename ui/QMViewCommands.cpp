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
    m_form.View().SetStatusText(m_form.View().StatusText());
    emit captionChanged(QString::fromStdString(m_form.Caption()));
    if (RecoveryKeeper* keeper = m_session->Keeper()) keeper->AnnouncePending();
    emit recoveryPendingChanged(RecoveryPending());
    m_session->OpenRememberedPortSoon();
}

namespace {

Command CommandOf(int id) {
    switch (id) {
        case ID_FILE_NEW: return Command::New;
        case ID_FILE_OPEN:
        case ID_FILE_OPEN_BACKUP: return Command::Open;
        case ID_FILE_SAVE: return Command::Save;
        case ID_FILE_COMPARE: return Command::Compare;
        case ID_FILE_IMPORT_CHANNELS: return Command::ImportChannels;
        case ID_FILE_EXPORT_CHANNELS: return Command::ExportChannels;
        case ID_FILE_RESTORE_EDITS: return Command::RestoreEdits;
        case ID_READ_FROM_RADIO:
        case ID_TOOLBAR_UPLOAD: return Command::Read;
        case ID_WRITE_TO_RADIO:
        case ID_TOOLBAR_DOWNLOAD: return Command::Write;
        case ID_WRITE_AND_VERIFY: return Command::WriteAndVerify;
        case ID_AUTO_SEARCH: return Command::AutoSearch;
        case ID_AUTO_STOP: return Command::AutoStop;
        case ID_PORT_LIST: return Command::PortList;
        case ID_CONNECTION_CHECK: return Command::ConnectionCheck;
        case ID_TOOLBAR_EXIT: return Command::Exit;
        case ID_EDIT_COPY: return Command::Copy;
        case ID_NEXT_PANE:
        case ID_PREV_PANE: return Command::MovePane;
        default: return Command::Edit;
    }
}

}  // namespace

bool CQMView::OnCmdMsg(int id) {
    // A refused command is handled: it does nothing, as during a transfer.
    if (m_session->MayRun(CommandOf(id)).Refused()) return true;
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
        case ID_TOOLBAR_UPLOAD: Link().OnReadFromRadio(); return true;
        case ID_WRITE_TO_RADIO:
        case ID_TOOLBAR_DOWNLOAD: Link().OnWriteToRadio(); return true;
        case ID_AUTO_SEARCH: Search().OnAutoSearch(); return true;
        case ID_AUTO_STOP: Search().OnAutoStop(); return true;
        case ID_PORT_LIST: OnPortList(); return true;
        case ID_CONNECTION_CHECK: OnConnectionCheck(); return true;
        case ID_TOOLBAR_EXIT: OnExitForm(); return true;
    }
    return false;
}

bool CQMView::EditCommandEnabled(int id) const {
    if (m_session->MayRun(CommandOf(id)).Refused()) return false;
    // Between Write and Verify's steps the table's selection is all there is to copy.
    if (VerifyRunning()) return id == ID_EDIT_COPY && m_table.Grid() && m_table.Grid()->Core().Abilities().copy;
    const CGridCtrl* grid = m_table.Grid();
    const CInPlaceEdit* editor = grid ? grid->Editor() : nullptr;
    const bool locked = m_form.View().IsTableLocked();
    switch (id) {
        case ID_EDIT_UNDO: return (editor && editor->isUndoAvailable()) || m_form.History().CanUndo();
        case ID_EDIT_REDO: return (editor && editor->isRedoAvailable()) || m_form.History().CanRedo();
        case ID_EDIT_COPY: return editor ? editor->hasSelectedText() : grid && grid->Core().Abilities().copy;
        // While a transfer runs, Cut would only copy and Delete do nothing.
        case ID_EDIT_CUT: return !locked && grid && grid->Core().Abilities().cut;
        case ID_EDIT_CLEAR: return editor || (!locked && grid && grid->Core().Abilities().cut);
        case ID_EDIT_PASTE:
            return grid && grid->Core().Abilities().paste && !QApplication::clipboard()->text().isEmpty();
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
    m_form.History().Undo();
}

void CQMView::OnEditRedo() {
    if (CGridCtrl* grid = m_table.Grid()) {
        if (CInPlaceEdit* editor = grid->Editor(); editor && editor->isRedoAvailable()) {
            editor->redo();
            return;
        }
        grid->EndEditing();
    }
    m_form.History().Redo();
}

void CQMView::OnFileNew() {
    m_session->Run(Command::New, [this] { m_form.New(); });
}

void CQMView::OnFileOpen() {
    m_session->Run(Command::Open, [this] { RunFileOpen(); });
}

void CQMView::OnFileSave() {
    m_session->Run(Command::Save, [this] { RunFileSave(); });
}

void CQMView::OnFileOpenBackup() {
    m_session->Run(Command::Open, [this] { RunFileOpen(BackupFolderForDialog()); });
}

QString CQMView::BackupFolderForDialog() {
    const std::string& folder = Backups().Folder();
    if (folder.empty()) return {};
    // Made if missing: a dialog asked for a folder that is not there
    // would quietly show another one.
    const std::filesystem::path path = filestore::PathFromUtf8(folder);
    std::error_code made;
    std::filesystem::create_directories(path, made);
    std::error_code looked;
    if (std::filesystem::is_directory(path, looked)) return QString::fromStdString(folder);
    const std::error_code& why = made ? made : looked;
    m_form.View().SetStatusText(std::string(kNoBackupFolderNews) + folder + ": " +
                         (why ? why.message() : std::string("not a folder")));
    return {};
}

void CQMView::OnRestoreUnsavedEdits() {
    m_session->Run(Command::RestoreEdits, [this] {
        RecoveryKeeper* keeper = m_session->Keeper();
        if (!keeper) return;
        const std::optional<PendingRecovery> offered = keeper->Pending();
        keeper->RestorePending();  // a refusal is shown by the keeper
        // The news of the file just dealt with would now mislead.
        if (offered && m_form.View().StatusText() == PendingRecoveryText(*offered)) {
            const std::optional<PendingRecovery> next = keeper->Pending();
            m_form.View().SetStatusText(next ? PendingRecoveryText(*next) : std::string(texts::kTotalRangeHint));
        }
        emit recoveryPendingChanged(RecoveryPending());
    });
}

void CQMView::OnWriteAndVerify() {
    m_session->Run(Command::WriteAndVerify, [this] {
        m_session->StartWriteAndVerify([this](const VerifyResult& result) {
            const UserMessage message = VerifyMessage(result);
            if (!message.text.empty()) m_prompter.Show(message);
        });
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
    const QString path = AskFileToOpen(startFolder);
    if (!path.isEmpty()) OpenFile(path);
}

void CQMView::OnFileCompare() {
    m_session->Run(Command::Compare, [this] {
        const QString path = AskFileToOpen(QString());
        if (!path.isEmpty()) CompareWithFile(path.toStdString());
    });
}

bool CQMView::CompareWithFile(const std::string& path) {
    // Mid-transfer the form holds half of what is coming or going.
    if (m_session->Begin(Command::Compare) != Refusal::None) return false;
    FormModel file(m_form.Messages());
    file.StartUp();
    if (!file.Open(path)) return false;
    m_form.Messages().Show(CompareWithFileMessage(CompareForms(m_form, file), FileNameOf(path)));
    return true;
}

void CQMView::OnFileImportChannels() {
    m_session->Run(Command::ImportChannels, [this] {
        QFileDialog dialog(this, QString(), QString(), "CSV Files (*.csv);;All Files (*)");
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            ImportChannelsFrom(dialog.selectedFiles().first().toStdString());
    });
}

bool CQMView::ImportChannelsFrom(const std::string& path) {
    const auto refuse = [&](const std::string& why) {
        m_form.Messages().Show(UserMessage{std::string(viewtexts::kChannelsNotImported) + FileNameOf(path), why,
                                           MsgIcon::Stop, MsgButtons::Ok});
        return false;
    };
    // A cell being edited ends first, as its own step: the import replaces
    // it, and Undo gives back both in turn.
    switch (m_session->Begin(Command::ImportChannels)) {
        case Refusal::None: break;
        case Refusal::Transfer: return refuse(std::string(kImportDuringTransfer));
        default: return false;
    }
    const Outcome<std::string> input = ReadImportFile(path);
    if (!input) return refuse(FileNameOf(path) + " " + input.problem().Text());
    const Outcome<void> imported = ImportChannelCsv(m_form, input.value());
    if (!imported) return refuse(imported.problem().Text());
    m_form.View().SetStatusText(std::string(viewtexts::kChannelsImported) + FileNameOf(path));
    return true;
}

void CQMView::OnFileExportChannels() {
    m_session->Run(Command::ExportChannels, [this] {
        QFileDialog dialog(this, QString(), QString(), "CSV Files (*.csv)");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("csv");
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            ExportChannelsTo(dialog.selectedFiles().first().toStdString());
    });
}

bool CQMView::ExportChannelsTo(const std::string& path) {
    // Mid-transfer the table holds half of what is coming or going.
    if (m_session->Begin(Command::ExportChannels) != Refusal::None) return false;
    const Outcome<void> written = ExportChannelCsvFile(m_form, path);
    if (!written) {
        m_form.Messages().Show(UserMessage{std::string(viewtexts::kChannelsNotExported) + FileNameOf(path),
                                           written.problem().Text(), MsgIcon::Stop, MsgButtons::Ok});
        return false;
    }
    m_form.View().SetStatusText(std::string(viewtexts::kChannelsExported) + FileNameOf(path));
    return true;
}

bool CQMView::OpenFile(const QString& path) { return OpenPath(path.toStdString()); }

bool CQMView::OpenPath(const std::string& path) {
    if (m_session->Begin(Command::Open) != Refusal::None) return false;
    if (!m_form.Open(path)) return false;
    RememberRecent(path);
    return true;
}

void CQMView::OpenFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    m_session->Run(Command::Open, [this, paths] {
        OpenPath(paths.front());
        if (paths.size() > 1)
            m_prompter.Show(NotOpened(viewtexts::kOnlyOneFileOpened, {paths.begin() + 1, paths.end()}, true));
    });
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
    m_session->Run(Command::Open, [this, path] {
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
        if (!error.empty()) m_form.View().SetStatusText(std::string(kRecentFilesNotKept) + error);
    });
}

void CQMView::RememberRecent(const std::string& path) {
    const std::string error = m_recent.Add(path);
    emit recentFilesChanged();
    if (!error.empty()) m_form.View().SetStatusText(std::string(kRecentFilesNotKept) + error);
}

void CQMView::RunFileSave() {
    // The edit has ended: the focus leaves the table for the dialogs.
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
    if (m_session->Begin(Command::Save) != Refusal::None) return false;
    if (!Save(m_form, path.toStdString())) return false;
    RememberRecent(path.toStdString());
    return true;
}

void CQMView::OnPortList() {
    // A search would overwrite the choice with its own find.
    CPortListDialog dialog(m_session->PortListing(), this);
    if (dialog.exec() != QDialog::Accepted || dialog.ChosenCom() == 0) return;
    RememberPort(dialog.ChosenCom());
}

void CQMView::OnConnectionCheck() {
    // The line test listens for a while: the window goes on meanwhile.
    const bool started = m_session->StartConnectionCheck([this](const UserMessage& findings) {
        QApplication::restoreOverrideCursor();
        m_prompter.Show(findings);
    });
    if (started) QApplication::setOverrideCursor(Qt::BusyCursor);
}

void CQMView::OnExitForm() {
    m_session->PrepareToClose();
    emit closeRequested();
}

}  // namespace orvex
