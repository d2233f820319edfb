// Files opened from outside the Open dialog: named at start-up, dropped on
// the window, chosen from the File menu's recent files; the recent list
// itself; and the program's --help and --version without a display.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include "app/support/FrameHarness.h"
#include "support/ChildProcess.h"
#include "ui/model/FormModel.h"
#include "ui/model/FormTexts.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

const QString kCaption = "ORVEX Programmer Ver 1.1.2";
const QString kSouthAfrica = "South Africa";

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
QString NotSettingsFile(const QString& name) { return Text(texts::kNotSettingsFileFormat).replace("%s", name); }

// A settings file Save wrote, with the South Africa band plan so that an
// opened file shows apart from the default form.
void WriteSettingsFile(const std::string& path, int bandPlan = 3) {
    ScriptedPrompter quiet;
    FormModel form(quiet);
    form.StartUp();
    form.OnModeSelect(bandPlan);
    QVERIFY2(Save(form, path), path.c_str());
}

// A drag of urls entering the window, then dropped; whether each was taken.
struct DropResult {
    bool enterAccepted = false;
    bool dropAccepted = false;
};
DropResult Drop(FrameHarness& h, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = h.frame->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.frame.get(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.frame.get(), &drop);
    DropResult r{enter.isAccepted(), drop.isAccepted()};
    // The files are opened once the drop has ended.
    QTest::qWait(50);
    return r;
}

QStringList RecentItems(FrameHarness& h) {
    QStringList items;
    for (const QString& item : h.MenuItems("&File"))
        if (item.size() > 1 && item[0] == '&' && item[1].isDigit()) items << item;
    return items;
}

}  // namespace

class OpeningFilesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // ---- Named at start-up -------------------------------------------------

    void aNamedFileIsOpenedAsOpenOpensIt() {
        FrameHarness h;
        const std::string file = h.dir.File("radio.kvx");
        WriteSettingsFile(file);
        h.View().OpenFiles({file});
        QTRY_COMPARE(h.frame->windowTitle(), kCaption + " - radio");
        QCOMPARE(h.ModeText(), kSouthAfrica);
        QVERIFY(h.Messages().isEmpty());
        QCOMPARE(h.View().RecentFileList(), std::vector<std::string>{file});
    }

    void aRefusedFileLeavesTheDefaultForm_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing.kvx" << Text(texts::kCantReadFile);
        QTest::newRow("folder") << "folder.kvx" << Text(texts::kCantReadFile);
        QTest::newRow("not a settings file") << "notes.kvx" << NotSettingsFile("notes.kvx");
    }
    void aRefusedFileLeavesTheDefaultForm() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        FrameHarness h;
        fs::create_directory(h.dir.File("folder.kvx"));
        std::ofstream(h.dir.File("notes.kvx")) << std::string(2048, 'x');
        const std::string path = h.dir.File(name.toStdString());
        h.View().OpenFiles({path});
        QTRY_COMPARE(h.Messages(), QStringList{message});
        QVERIFY2(h.prompts.shown[0].detail.find(path) != std::string::npos || name == "notes.kvx",
                 h.prompts.shown[0].detail.c_str());
        QCOMPARE(h.frame->windowTitle(), kCaption);
        QCOMPARE(h.ModeText(), QString("Australian Marine"));
        QVERIFY(h.View().RecentFileList().empty());
        QVERIFY(RecentItems(h).isEmpty());
    }

    void ofSeveralNamesTheFirstIsOpenedAndTheOthersNamedOnce() {
        FrameHarness h;
        for (const char* n : {"a.kvx", "b.kvx", "c.kvx"}) WriteSettingsFile(h.dir.File(n));
        // The message names them short and, below, in full however given.
        const std::string relative = fs::path(h.dir.File("c.kvx")).lexically_relative(fs::current_path()).string();
        h.View().OpenFiles({h.dir.File("a.kvx"), h.dir.File("b.kvx"), relative});
        QTRY_COMPARE(h.frame->windowTitle(), kCaption + " - a");
        QCOMPARE(h.Messages(), QStringList{Text(viewtexts::kOnlyOneFileOpened) + "b.kvx, c.kvx"});
        QCOMPARE(h.prompts.shown[0].detail, h.dir.File("b.kvx") + "\n" + h.dir.File("c.kvx"));
        QCOMPARE(h.View().RecentFileList(), std::vector<std::string>{h.dir.File("a.kvx")});
    }

    // The system's bytes are kept from the command line to the file call
    // and into the settings store, so the list opens it again next time.
    void aNameThatIsNotUtf8IsOpenedAndRemembered() {
        TempDir kept;
        const std::string ini = kept.File("orvex.ini");
        const std::string file = kept.File("r\xE9glage.kvx");  // Latin-1, as an older system named it
        WriteSettingsFile(file);
        {
            FrameHarness::Setup setup;
            setup.settingsPath = ini;
            FrameHarness h(setup);
            h.View().OpenFiles({file});
            QTRY_COMPARE(h.ModeText(), kSouthAfrica);
            QVERIFY(h.frame->windowTitle().startsWith(kCaption + " - r"));
            QVERIFY(h.frame->windowTitle().endsWith("glage"));
        }
        FrameHarness::Setup setup;
        setup.settingsPath = ini;
        FrameHarness h(setup);
        QCOMPARE(h.View().RecentFileList(), std::vector<std::string>{file});
        h.View().OpenRecentFile(file);
        QTRY_COMPARE(h.ModeText(), kSouthAfrica);
        QVERIFY(h.Messages().isEmpty());

        // A file manager's drop carries the same bytes percent-encoded.
        WriteSettingsFile(kept.File("plain.kvx"), 0);
        QVERIFY(h.View().OpenFile(QString::fromStdString(kept.File("plain.kvx"))));
        QCOMPARE(h.ModeText(), QString("Australian Marine"));
        const QByteArray encoded = "file://" + QByteArray::fromStdString(file).toPercentEncoding("/");
        Drop(h, {QUrl::fromEncoded(encoded)});
        QTRY_COMPARE(h.ModeText(), kSouthAfrica);
        QVERIFY(h.Messages().isEmpty());
    }

    // ---- Dropped on the window -------------------------------------------

    void aDroppedFileIsOpened_data() {
        QTest::addColumn<bool>("namingHost");
        QTest::newRow("file:///") << false;
        QTest::newRow("file://localhost/") << true;
    }
    void aDroppedFileIsOpened() {
        QFETCH(bool, namingHost);
        FrameHarness h;
        QVERIFY(h.frame->acceptDrops());
        const std::string file = h.dir.File("dropped.kvx");
        WriteSettingsFile(file);
        QUrl url = QUrl::fromLocalFile(QString::fromStdString(file));
        if (namingHost) url.setHost("localhost");
        const DropResult r = Drop(h, {url});
        QVERIFY(r.enterAccepted);
        QVERIFY(r.dropAccepted);
        QTRY_COMPARE(h.frame->windowTitle(), kCaption + " - dropped");
        QCOMPARE(h.ModeText(), kSouthAfrica);
        QVERIFY(h.Messages().isEmpty());
        QCOMPARE(h.View().RecentFileList(), std::vector<std::string>{file});
    }

    void ofSeveralDroppedFilesTheFirstIsOpened() {
        FrameHarness h;
        for (const char* n : {"a.kvx", "b.kvx"}) WriteSettingsFile(h.dir.File(n));
        Drop(h, {QUrl::fromLocalFile(QString::fromStdString(h.dir.File("b.kvx"))),
                 QUrl::fromLocalFile(QString::fromStdString(h.dir.File("a.kvx")))});
        QTRY_COMPARE(h.frame->windowTitle(), kCaption + " - b");
        QCOMPARE(h.Messages(), QStringList{Text(viewtexts::kOnlyOneFileOpened) + "a.kvx"});
    }

    void aDroppedFolderOrWebAddressChangesNothing_data() {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder") << true << Text(texts::kCantReadFile);
        QTest::newRow("web address") << false << Text(viewtexts::kNotLocalFile) + "http://example.com/radio.kvx";
        QTest::newRow("another machine's file") << false << Text(viewtexts::kNotLocalFile) + "file://example.com/radio.kvx";
    }
    void aDroppedFolderOrWebAddressChangesNothing() {
        QFETCH(bool, folder);
        QFETCH(QString, message);
        FrameHarness h;
        QVERIFY(h.ShowAndActivate());
        h.TypeIntoCell(2, "27.005");
        const QUrl url = folder ? QUrl::fromLocalFile(QString::fromStdString(h.dir.Path().string()))
                                : QUrl(message.mid(Text(viewtexts::kNotLocalFile).size()));
        Drop(h, {url});
        QTRY_COMPARE(h.Messages(), QStringList{message});
        QCOMPARE(h.frame->windowTitle(), kCaption);
        QCOMPARE(h.Cell(2), QString("27.0050"));
        QVERIFY(h.View().RecentFileList().empty());
    }

    void aDropIsRefusedWhileATransferRuns() {
        FrameHarness h(FrameHarness::VirtualTime());
        QVERIFY(h.Ready());
        const std::string file = h.dir.File("late.kvx");
        WriteSettingsFile(file);
        h.frame->OnCommand(ID_READ_FROM_RADIO);
        // Refused from the moment Read is given, not only once the table
        // locks: a drop taken in the start pause would be dropped unopened.
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(file));
        const DropResult starting = Drop(h, {url});
        QVERIFY(!starting.enterAccepted);
        QVERIFY(!starting.dropAccepted);
        QVERIFY(h.WaitTransferStarted());
        const DropResult r = Drop(h, {url});
        QVERIFY(!r.enterAccepted);
        QVERIFY(!r.dropAccepted);
        QVERIFY(h.WaitTransferEnd(kReadTimeoutMs));
        h.Pass(100);
        QCOMPARE(h.Cells(), SampleCells());
        QCOMPARE(h.frame->windowTitle(), kCaption);
        QVERIFY(h.View().RecentFileList().empty());
    }

    // ---- The recent-file list ----------------------------------------------

    void theMenuShowsTheFourNewestAboveExit() {
        FrameHarness h;
        const QStringList plain = h.MenuItems("&File");
        for (const char* n : {"a.kvx", "b.kvx", "c.kvx", "R&D.kvx", "e.kvx"}) {
            WriteSettingsFile(h.dir.File(n));
            QVERIFY(h.View().OpenFile(QString::fromStdString(h.dir.File(n))));
        }
        QCOMPARE(h.MenuItems("&File"), QStringList(plain.mid(0, plain.size() - 1))
                                           << "&1 e.kvx" << "&2 R&&D.kvx" << "&3 c.kvx" << "&4 b.kvx" << ""
                                           << "E&xit");
        // The full name shows in the status line while an entry is pointed at.
        for (QAction* a : h.Menu("&File")->actions())
            if (a->text() == "&3 c.kvx") QCOMPARE(a->statusTip(), QString::fromStdString(h.dir.File("c.kvx")));

        // Kept for the next window.
        FrameHarness::Setup setup;
        setup.settingsPath = h.dataDir.File("orvex.ini");
        FrameHarness next(setup);
        QCOMPARE(RecentItems(next), (QStringList{"&1 e.kvx", "&2 R&&D.kvx", "&3 c.kvx", "&4 b.kvx"}));
    }

    // Each way of opening or saving puts its file at the top.
    void everyOpenAndSaveAddsToTheList_data() {
        QTest::addColumn<QString>("way");
        for (const char* way : {"open dialog", "open backup dialog", "save dialog", "save", "command line", "drop",
                                "recent list"})
            QTest::newRow(way) << QString(way);
    }
    void everyOpenAndSaveAddsToTheList() {
        QFETCH(QString, way);
        FrameHarness h;
        QVERIFY(h.ShowAndActivate());
        const std::string target = h.dir.File("target.kvx"), other = h.dir.File("other.kvx");
        if (way != "save dialog" && way != "save") WriteSettingsFile(target);
        if (way == "recent list") QVERIFY(h.View().OpenFile(QString::fromStdString(target)));
        WriteSettingsFile(other);
        QVERIFY(h.View().OpenFile(QString::fromStdString(other)));
        const QString targetName = QString::fromStdString(target);

        ModalWatch watch([&](QWidget* w) {
            if (auto* d = qobject_cast<QFileDialog*>(w)) Pick(*d, targetName);
            else w->close();
        });
        if (way == "open dialog") h.frame->OnCommand(ID_FILE_OPEN);
        else if (way == "open backup dialog") h.frame->OnCommand(ID_FILE_OPEN_BACKUP);
        else if (way == "save dialog") h.frame->OnCommand(ID_FILE_SAVE);
        else if (way == "save") QVERIFY(h.View().SaveFileTo(targetName));
        else if (way == "command line") h.View().OpenFiles({target});
        else if (way == "drop") Drop(h, {QUrl::fromLocalFile(targetName)});
        else {
            QAction* entry = nullptr;
            for (QAction* a : h.Menu("&File")->actions())
                if (a->text() == "&2 target.kvx") entry = a;
            QVERIFY(entry);
            entry->trigger();
        }
        QTRY_COMPARE(h.View().RecentFileList(), (std::vector<std::string>{target, other}));
        QCOMPARE(RecentItems(h), (QStringList{"&1 target.kvx", "&2 other.kvx"}));
        QVERIFY(h.Messages().isEmpty());
        if (way.startsWith("save")) QCOMPARE(h.frame->windowTitle(), kCaption);
        else QCOMPARE(h.frame->windowTitle(), kCaption + " - target");
    }

    void anEntryWhoseFileIsGoneIsRemovedWithAMessage() {
        FrameHarness h;
        for (const char* n : {"a.kvx", "b.kvx"}) {
            WriteSettingsFile(h.dir.File(n));
            QVERIFY(h.View().OpenFile(QString::fromStdString(h.dir.File(n))));
        }
        h.frame->OnCommand(ID_FILE_NEW);
        QTRY_COMPARE(h.frame->windowTitle(), kCaption);
        fs::remove(h.dir.File("a.kvx"));
        h.View().OpenRecentFile(h.dir.File("a.kvx"));
        QTRY_COMPARE(h.Messages(), QStringList{Text(kRecentFileGone)});
        QCOMPARE(h.prompts.shown[0].detail, h.dir.File("a.kvx"));
        QCOMPARE(h.View().RecentFileList(), std::vector<std::string>{h.dir.File("b.kvx")});
        QCOMPARE(RecentItems(h), QStringList{"&1 b.kvx"});
        QCOMPARE(h.frame->windowTitle(), kCaption);
    }

    // A file that is there but refused gets Open's own message and keeps its
    // entry: it may be mended, and was the user's.
    void anEntryThatCannotBeOpenedStays() {
        FrameHarness h;
        const std::string file = h.dir.File("a.kvx");
        WriteSettingsFile(file);
        QVERIFY(h.View().OpenFile(QString::fromStdString(file)));
        std::ofstream(file, std::ios::trunc) << "not settings";
        h.View().OpenRecentFile(file);
        QTRY_COMPARE(h.Messages(), QStringList{NotSettingsFile("a.kvx")});
        QCOMPARE(RecentItems(h), QStringList{"&1 a.kvx"});
    }

    // ---- Help and version ------------------------------------------------

    void helpAndVersionNeedNoDisplay_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("begins");
        QTest::newRow("--help") << "--help" << "Usage: orvex [OPTIONS] [FILE...]\n";
        QTest::newRow("--version") << "--version" << "orvex 1.1.2\n";
    }
    void helpAndVersionNeedNoDisplay() {
        QFETCH(QString, option);
        QFETCH(QString, begins);
        const char* program = std::getenv("ORVEX_APP");
        QVERIFY2(program && *program, "ORVEX_APP names no program");
        ChildProcess child;
        ChildProcess::Options opts;
        opts.without = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
        QVERIFY(child.Start({program, option.toStdString()}, {}, opts));
        const Exit exit = child.Finish(20'000);
        QVERIFY2(exit.exited && exit.status == 0, child.Stderr().c_str());
        QVERIFY2(QString::fromStdString(child.Stdout()).startsWith(begins), child.Stdout().c_str());
        if (option != "--version") {
            for (const char* part : {"-v, --version", "FILE"}) QVERIFY(child.Stdout().find(part) != std::string::npos);
        }
    }

    void anUnknownOptionIsAWrongUsage() {
        const char* program = std::getenv("ORVEX_APP");
        QVERIFY2(program && *program, "ORVEX_APP names no program");
        // Told without a display, which the toolkit would abort without.
        ChildProcess child;
        ChildProcess::Options opts;
        opts.without = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
        QVERIFY(child.Start({program, "--frobnicate", "radio.kvx"}, {}, opts));
        const Exit exit = child.Finish(20'000);
        QVERIFY(exit.exited);
        QCOMPARE(exit.status, 2);
        QVERIFY2(child.Stderr().find("--frobnicate") != std::string::npos, child.Stderr().c_str());
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::OpeningFilesTest)
#include "OpeningFilesTest.moc"
