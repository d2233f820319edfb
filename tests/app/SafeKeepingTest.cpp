// What the window does so a radio's settings are never lost: the new menu
// items, Write and Verify against the simulated radio, the backup of every
// read and the folder Open Backup starts in, and unsaved edits brought back
// by a later window.
#include <QDir>
#include <QFileDialog>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "app/support/FrameHarness.h"
#include "link/LinkTexts.h"
#include "settings/QMDataMng.h"
#include "support/FormState.h"
#include "ui/model/RecoveryTexts.h"
#include "ui/model/VerifyTexts.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

constexpr int kVerifyTimeoutMs = 2 * kReadTimeoutMs + kWriteTimeoutMs;

std::vector<fs::path> FilesIn(const std::string& folder) {
    std::vector<fs::path> out;
    std::error_code ec;
    // A running session's lock file is not one of the files kept.
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() != ".lock") out.push_back(it->path());
    return out;
}

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

// Everything the form holds but the status line, which tells of the
// restore itself.
std::string StateOf(const FormModel& form) {
    std::string state = FormState(form);
    const std::size_t at = state.find("\nstatus=");
    return state.substr(0, at == std::string::npos ? state.size() : at);
}

// Records the folder each file dialog starts in, then picks path (or
// cancels when path is empty).
struct DialogWatch {
    explicit DialogWatch(QString path)
        : watch([this, path](QWidget* w) {
              auto* d = qobject_cast<QFileDialog*>(w);
              if (!d) {
                  w->close();
                  return;
              }
              folders << QDir::toNativeSeparators(d->directory().absolutePath());
              modes << d->acceptMode();
              if (path.isEmpty())
                  d->reject();
              else
                  Pick(*d, path);
          }) {}
    QStringList folders;
    QList<QFileDialog::AcceptMode> modes;
    ModalWatch watch;
};

}  // namespace

class SafeKeepingTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void newItemsSitBesideTheOldOnes() {
        FrameHarness h;
        QCOMPARE(h.MenuItems("&File"), (QStringList{"&Open...", "Open &Backup...", "&Compare with File...",
                                                     "&Import Channels...", "&Export Channels...", "&Save",
                                                     "&Restore Unsaved Edits", "", "E&xit"}));
        QCOMPARE(h.MenuItems("Pr&ogram"), (QStringList{"&Read from Radio", "&Write to Radio", "Write and &Verify"}));
        QCOMPARE(h.frame->Action(ID_WRITE_AND_VERIFY)->shortcut(), QKeySequence("Ctrl+Shift+W"));
        QCOMPARE(h.frame->Action(ID_WRITE_TO_RADIO)->shortcut(), QKeySequence("Ctrl+W"));
        QCOMPARE(h.frame->Action(ID_FILE_OPEN_BACKUP)->shortcut(), QKeySequence());
        // Nothing was left unsaved by an earlier window.
        QVERIFY(!h.frame->Action(ID_FILE_RESTORE_EDITS)->isEnabled());
        for (int id : {ID_FILE_OPEN_BACKUP, ID_FILE_RESTORE_EDITS, ID_WRITE_AND_VERIFY}) {
            const QString tip = h.frame->Action(id)->statusTip();
            QVERIFY2(!tip.isEmpty() && !tip.contains('\n'), qPrintable(tip));
        }
    }

    // The key writes the form, reads it back and says one thing; what the
    // user does between the steps changes nothing.
    void writeAndVerifyEndsWithVerifyOkAlone() {
        FrameHarness h(FrameHarness::VirtualTime());
        QVERIFY(h.Ready());
        h.TypeIntoCell(1, "26.5");
        h.TypeIntoCell(2, "27.0125");
        h.TypeIntoCell(10, "29.9975");
        const QStringList cells = h.Cells();
        const FormSnapshot before = h.View().Form().Snapshot();
        DialogWatch dialogs({});

        h.Key(Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(h.View().VerifyRunning());
        // The write's last pause and the one before the read back leave the
        // table unlocked.
        QVERIFY(h.Wait([&] { return h.radio.WritesCompleted() == 1 && !h.View().Form().View().IsTableLocked(); },
                       kReadTimeoutMs + kWriteTimeoutMs));
        QVERIFY(h.View().VerifyRunning());
        h.TypeIntoCell(3, "28");
        h.View().ModeSelect()->setFocus(Qt::OtherFocusReason);
        h.Key(Qt::Key_Down);
        for (Qt::Key k : {Qt::Key_N, Qt::Key_O, Qt::Key_S, Qt::Key_R, Qt::Key_W}) h.Key(k, Qt::ControlModifier);
        h.frame->OnCommand(ID_FILE_OPEN_BACKUP);

        QVERIFY(h.Wait([&] { return !h.View().VerifyRunning(); }, kVerifyTimeoutMs));
        h.Pass(300);  // anything that waited for a pause has had its turn
        QCOMPARE(h.Messages(), QStringList{Text(texts::kVerifyOk)});
        QCOMPARE(h.prompts.shown[0].icon, MsgIcon::None);
        QCOMPARE(dialogs.watch.Count(), 0);
        QCOMPARE(h.radio.ReadsCompleted(), 2);
        QCOMPARE(h.radio.WritesCompleted(), 1);
        QCOMPARE(h.Cells(), cells);
        QVERIFY(h.View().Form().Snapshot() == before);
        QVERIFY(!HasUnsavedEdits(h.View().Form()));
        for (int r = 1; r <= kChannelCount; ++r)
            QCOMPARE(h.radio.Memory().records[r - 1].m_wFreq, *FrequencyCodeFromText(cells[r - 1].toStdString()));
        // The radio's settings before the write are kept, and named; the
        // read back is not kept.
        const BackupListing kept = h.View().Backups().List();
        QCOMPARE(int(kept.value().size()), 1);
        QCOMPARE(kept.value()[0].frequencies[0], std::string("26.9650"));
        QVERIFY(h.prompts.shown[0].detail.find(kept.value()[0].path) != std::string::npos);
    }

    void aReadIsKeptAsABackupAndTheStatusLineNamesIt() {
        FrameHarness h;
        QVERIFY(h.Ready());
        QVERIFY(h.ReadFromRadio());
        QCOMPARE(h.Messages(), QStringList{Text(texts::kUploadComplete)});
        const std::vector<fs::path> files = FilesIn(h.View().Backups().Folder());
        QCOMPARE(int(files.size()), 1);
        QCOMPARE(files[0].extension().string(), std::string(".kvx"));
        QCOMPARE(h.View().StatusLine()->Text(), Text(std::string(kBackupKeptNews) + files[0].string()));
        // What Save writes right after the read.
        const std::string saved = h.dir.File("saved.kvx");
        QVERIFY(h.View().SaveFileTo(QString::fromStdString(saved)));
        QVERIFY(ReadBytes(saved) == ReadBytes(files[0].string()));
    }

    // A backup folder that is a file: the read completes, the status line
    // says why nothing was kept, and Open Backup still opens its dialog.
    void aBackupFolderThatIsAFileNeverFailsTheRead() {
        TempDir data;
        const FoldersAt folders(data.File("orvex"));
        fs::create_directories(folders.data);
        std::ofstream(BackupFolder(folders)) << "in the way";
        FrameHarness::Setup setup;
        setup.folders = &folders;
        FrameHarness h(setup);
        QVERIFY(h.Ready());
        QVERIFY(h.ReadFromRadio());
        QCOMPARE(h.Messages(), QStringList{Text(texts::kUploadComplete)});
        QCOMPARE(h.Cells(), SampleCells());
        const QString status = h.View().StatusLine()->Text();
        QVERIFY2(status.startsWith(Text(kBackupNotKeptNews)), qPrintable(status));
        QVERIFY2(status.contains(QString::fromStdString(BackupFolder(folders))), qPrintable(status));

        DialogWatch dialogs({});
        h.frame->OnCommand(ID_FILE_OPEN_BACKUP);
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.watch.Count(), 1, 3000);
        QVERIFY2(h.View().StatusLine()->Text().contains(QString::fromStdString(BackupFolder(folders))),
                 qPrintable(h.View().StatusLine()->Text()));
        QVERIFY(fs::is_regular_file(BackupFolder(folders)));
    }

    // Open Backup is Open, starting in the backup folder; a folder not made
    // yet is made so the dialog can show it.
    void openBackupStartsInTheBackupFolder() {
        FrameHarness h;
        QVERIFY(h.Ready());
        const QString folder = QString::fromStdString(h.View().Backups().Folder());
        QVERIFY(!fs::exists(folder.toStdString()));
        {
            DialogWatch dialogs({});
            h.frame->Action(ID_FILE_OPEN_BACKUP)->trigger();
            QTRY_COMPARE_WITH_TIMEOUT(dialogs.watch.Count(), 1, 3000);
            QCOMPARE(dialogs.folders, QStringList{QDir::toNativeSeparators(folder)});
            QCOMPARE(dialogs.modes.value(0), QFileDialog::AcceptOpen);
        }
        QVERIFY(h.ReadFromRadio());
        h.frame->OnCommand(ID_FILE_NEW);
        QCOMPARE(h.Cell(1), QString());
        QVERIFY(h.ShowAndActivate());
        const std::string backup = h.View().Backups().List().value().at(0).path;
        DialogWatch dialogs(QString::fromStdString(backup));
        h.frame->Action(ID_FILE_OPEN_BACKUP)->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.watch.Count(), 1, 3000);
        QCOMPARE(dialogs.folders, QStringList{QDir::toNativeSeparators(folder)});
        QCOMPARE(h.Cells(), SampleCells());
        QVERIFY(h.frame->windowTitle().endsWith(QString::fromStdString(fs::path(backup).stem().string())));
        QCOMPARE(h.Messages(), QStringList{Text(texts::kUploadComplete)});
    }

    // Closing never asks, and the edits wait for the next window: New there
    // does not lose them, and Restore brings back the form exactly.
    void unsavedEditsComeBackInTheNextWindow() {
        TempDir data;
        const FoldersAt folders(data.File("orvex"));
        const std::string recovery = RecoveryFolder(folders);
        FrameHarness::Setup setup = FrameHarness::VirtualTime();
        setup.folders = &folders;
        std::string before, firstFile;
        {
            FrameHarness first(setup);
            QVERIFY(first.Ready());
            QVERIFY(first.ReadFromRadio());  // the stored values are the radio's
            first.ClickBox(4);
            first.ChooseEmg("CH 04");
            first.TypeIntoCell(5, "27.3");
            QVERIFY(HasUnsavedEdits(first.View().Form()));
            before = StateOf(first.View().Form());
            firstFile = first.View().RecoveryFilePath();
            QVERIFY(first.Wait([&] { return fs::exists(firstFile); }, 3000));
            QVERIFY(first.frame->close());
            QCOMPARE(first.Messages(), QStringList{Text(texts::kUploadComplete)});
        }
        QCOMPARE(FilesIn(recovery), std::vector<fs::path>{firstFile});

        FrameHarness second(setup);
        QVERIFY(second.Ready());
        QAction* restore = second.frame->Action(ID_FILE_RESTORE_EDITS);
        QVERIFY(restore->isEnabled());
        QVERIFY2(second.View().StatusLine()->Text().startsWith("Unsaved edits from "),
                 qPrintable(second.View().StatusLine()->Text()));
        QVERIFY(second.View().StatusLine()->Text().endsWith(": File > Restore Unsaved Edits"));
        // (Edits of its own New would replace are kept aside and offered
        // first: the window's own tests show that.)
        second.frame->OnCommand(ID_FILE_NEW);
        QVERIFY(restore->isEnabled());
        second.Pass(RecoveryKeeper::kLatestMs + 200);  // this window has kept its own state by now
        QVERIFY(fs::exists(firstFile));

        restore->trigger();
        QCOMPARE(StateOf(second.View().Form()), before);
        QVERIFY(!restore->isEnabled());
        QVERIFY(second.prompts.shown.empty());
        QVERIFY2(!second.View().StatusLine()->Text().contains("Restore Unsaved Edits"),
                 qPrintable(second.View().StatusLine()->Text()));
        // The edits now live in this window's file alone.
        QVERIFY(second.Wait(
            [&] { return FilesIn(recovery) == std::vector<fs::path>{second.View().RecoveryFilePath()}; }, 3000));
    }

    // A file that is not ours is not offered: it is named once, with its
    // reason, and left alone.
    void aForeignRecoveryFileIsRefusedAndLeftInPlace() {
        TempDir data;
        const FoldersAt folders(data.File("orvex"));
        fs::create_directories(RecoveryFolder(folders));
        const std::string foreign = RecoveryFolder(folders) + "/other.orvexrec";
        std::ofstream(foreign) << "not a recovery file at all\n";
        FrameHarness::Setup setup;
        setup.folders = &folders;
        FrameHarness h(setup);
        QVERIFY(h.Ready());
        QVERIFY(!h.frame->Action(ID_FILE_RESTORE_EDITS)->isEnabled());
        const QString status = h.View().StatusLine()->Text();
        QVERIFY2(status.startsWith(Text(texts::kRecoveryUnreadable)), qPrintable(status));
        QVERIFY2(status.contains(QDir::toNativeSeparators(QString::fromStdString(foreign))), qPrintable(status));
        QVERIFY(h.prompts.shown.empty());
        QVERIFY(fs::exists(foreign));
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::SafeKeepingTest)
#include "SafeKeepingTest.moc"
