// File > Import Channels... and Export Channels...: the ten channels from and
// to a CSV file a spreadsheet reads, an import taken back by one Undo.
#include <filesystem>
#include <fstream>

#include "app/support/FrameHarness.h"
#include "ui/model/ChannelExchange.h"
#include "ui/model/FormModel.h"

namespace orvex::test {
namespace {

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// As a spreadsheet in a decimal-comma locale saves it.
const std::string kSheet =
    "\xEF\xBB\xBF" "Notes,Frequency,Channel\r\n"
    "calling,\"27,125\",P1\r\n,,P2\r\n,26.965,P3\r\n,,P4\r\n,,P5\r\n,,P6\r\n,,P7\r\n,,P8\r\n,,P9\r\n,30,P0\r\n";

void AnswerFileDialog(QWidget* w, QFileDialog::AcceptMode mode, const std::string& path) {
    auto* d = qobject_cast<QFileDialog*>(w);
    QVERIFY2(d, "a dialog other than the file dialog came up");
    QCOMPARE(d->acceptMode(), mode);
    Pick(*d, QString::fromStdString(path));
}

}  // namespace

class ChannelExchangeTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Only the channels change, and one Undo gives back all ten.
    void anImportFromTheMenuIsOneStepUndoTakesBack() {
        FrameHarness h;
        QVERIFY(h.ShowAndActivate());
        h.View().Form().OnModeSelect(kBandPlanSouthAfrica);
        h.View().Form().ClickChannelBox(5);
        h.TypeIntoCell(2, "28.5");
        const FormSnapshot before = h.View().Form().Snapshot();
        const std::string sheet = h.dir.File("channels.csv");
        WriteText(sheet, kSheet);

        const QStringList items = h.MenuItems("&File");
        const int at = static_cast<int>(items.indexOf("&Compare with File..."));
        QCOMPARE(items.mid(at + 1, 2), (QStringList{"&Import Channels...", "&Export Channels..."}));
        ModalWatch watch([&](QWidget* w) { AnswerFileDialog(w, QFileDialog::AcceptOpen, sheet); });
        h.Menu("&File")->actions().at(at + 1)->trigger();
        QTRY_COMPARE(h.Cell(1), QString("27.1250"));
        QCOMPARE(h.Cells(), (QStringList{"27.1250", "", "26.9650", "", "", "", "", "", "", "30.0000"}));
        QVERIFY(h.Messages().isEmpty());
        QCOMPARE(h.View().Form().View().StatusText(), std::string(viewtexts::kChannelsImported) + "channels.csv");
        FormSnapshot expected = before;
        expected.cells = {"27.1250", "", "26.9650", "", "", "", "", "", "", "30.0000"};
        QVERIFY(h.View().Form().Snapshot() == expected);

        h.frame->Action(ID_EDIT_UNDO)->trigger();
        QVERIFY(h.View().Form().Snapshot() == before);
        QCOMPARE(h.Cell(2), QString("28.5000"));
        h.frame->Action(ID_EDIT_REDO)->trigger();
        QVERIFY(h.View().Form().Snapshot() == expected);
    }

    // Whatever is wrong is named with the row and value; no cell changes and
    // nothing is added to the history.
    void aRefusedFileChangesNothing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("named");
        QTest::newRow("nine rows") << QByteArray("Channel,Frequency\nP1,\nP2,\nP3,\nP4,\nP5,\nP6,\nP7,\nP8,\nP9,\n")
                                   << "P0";
        QTest::newRow("off the step") << QByteArray("Channel,Frequency\nP1,\nP2,\nP3,\nP4,27.1263\nP5,\nP6,\nP7,\n"
                                                    "P8,\nP9,\nP0,\n")
                                      << "27.1263";
        QTest::newRow("not UTF-8") << QByteArray("Channel,Frequency\nP1,27\xe9\n") << "UTF-8";
        QTest::newRow("missing") << QByteArray() << "missing.csv";
    }
    void aRefusedFileChangesNothing() {
        QFETCH(QByteArray, content);
        QFETCH(QString, named);
        FrameHarness h;
        h.View().Form().SetCellText(1, "26.5000");
        const FormSnapshot before = h.View().Form().Snapshot();
        const bool undoable = h.View().Form().History().CanUndo();
        const std::string file = h.dir.File(content.isEmpty() ? "missing.csv" : "list.csv");
        if (!content.isEmpty()) WriteText(file, content.toStdString());

        QVERIFY(!h.View().ImportChannelsFrom(file));
        const QString name = QString::fromStdString(std::filesystem::path(file).filename().string());
        QCOMPARE(h.Messages(), QStringList{Text(viewtexts::kChannelsNotImported) + name});
        QCOMPARE(h.prompts.shown[0].icon, MsgIcon::Stop);
        QVERIFY2(QString::fromStdString(h.prompts.shown[0].detail).contains(named), h.prompts.shown[0].detail.c_str());
        QVERIFY(h.View().Form().Snapshot() == before);
        QCOMPARE(h.View().Form().History().CanUndo(), undoable);
    }

    // What Export writes, Import takes back into another window exactly.
    void anExportImportsBackAndAFailedOneIsNamed() {
        FrameHarness h;
        QVERIFY(h.ShowAndActivate());
        h.TypeIntoCell(1, "26.965");
        h.TypeIntoCell(10, "29.9975");
        const std::string file = h.dir.File("out.csv");
        ModalWatch watch([&](QWidget* w) { AnswerFileDialog(w, QFileDialog::AcceptSave, h.dir.File("out")); });
        h.frame->OnCommand(ID_FILE_EXPORT_CHANNELS);
        QTRY_VERIFY(std::filesystem::exists(file));  // the dialog adds .csv
        QCOMPARE(ReadText(file), ExportChannelCsv(h.View().Form()));
        QCOMPARE(h.View().Form().View().StatusText(), std::string(viewtexts::kChannelsExported) + "out.csv");

        FrameHarness other;
        QVERIFY(other.View().ImportChannelsFrom(file));
        QCOMPARE(other.Cells(), h.Cells());

        // A folder in the way of the file.
        const std::string folder = h.dir.File("taken.csv");
        std::filesystem::create_directory(folder);
        QVERIFY(!h.View().ExportChannelsTo(folder));
        QCOMPARE(h.Messages(), QStringList{Text(viewtexts::kChannelsNotExported) + "taken.csv"});
        QVERIFY(h.prompts.shown[0].detail.find("taken.csv") != std::string::npos);
    }

    // While a read runs the channels are the radio's to fill: no dialog, and
    // a direct import is refused with its reason.
    void refusedWhileATransferRuns() {
        FrameHarness h(FrameHarness::VirtualTime());
        QVERIFY(h.Ready());
        const std::string sheet = h.dir.File("channels.csv");
        WriteText(sheet, kSheet);
        ModalWatch watch([](QWidget* w) { w->close(); });
        h.frame->OnCommand(ID_READ_FROM_RADIO);
        QVERIFY(h.WaitTransferStarted());
        h.frame->OnCommand(ID_FILE_IMPORT_CHANNELS);
        h.frame->OnCommand(ID_FILE_EXPORT_CHANNELS);
        QVERIFY(!h.View().ImportChannelsFrom(sheet));
        QVERIFY(h.WaitTransferEnd(kReadTimeoutMs));
        h.Pass(100);
        QCOMPARE(watch.Count(), 0);
        QCOMPARE(h.Messages().value(0), Text(viewtexts::kChannelsNotImported) + "channels.csv");
        QCOMPARE(h.prompts.shown[0].detail, std::string(kImportDuringTransfer));
        QCOMPARE(h.Cells(), SampleCells());
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::ChannelExchangeTest)
#include "ChannelExchangeTest.moc"
