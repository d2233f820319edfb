// Read from Radio and Write to Radio through the main window against the
// simulated radio, in real time: what the form shows and locks while they
// run and after, what reaches the radio, and the refusals and questions
// that keep a write or read from starting.
#include <QClipboard>
#include <QImage>
#include <QTest>

#include <cmath>
#include <set>

#include "app/support/FrameHarness.h"
#include "ui/model/VerifyTexts.h"

namespace orvex::test {
namespace {

const std::vector<int> kSampleFlags{1, 2, 3, 5, 7, 9, 11, 19, 23};
const QStringList kSampleEmgList{"CH 01", "CH 02", "CH 03", "CH 05", "CH 07", "CH 09", "CH 11", "CH 19", "CH 23"};

// The code a cell is programmed as: 2.5 kHz units, 0xFFFF for an empty cell.
std::uint16_t CodeOf(const QString& cell, double offsetMHz = 0.0) {
    if (cell.isEmpty()) return kEmptyFrequencyCode;
    return static_cast<std::uint16_t>(std::lround((cell.toDouble() + offsetMHz) * 400.0));
}

bool AnyCellEditable(const CGridCtrl& g) {
    for (int r = 1; r <= kChannelCount; ++r)
        if (g.Core().IsCellEditable(r, kFrequencyColumn)) return true;
    return false;
}
bool AllCellsEditable(const CGridCtrl& g) {
    for (int r = 1; r <= kChannelCount; ++r)
        if (!g.Core().IsCellEditable(r, kFrequencyColumn)) return false;
    return true;
}

}  // namespace

class TransferTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void readFillsTheFormFromTheRadio() {
        FrameHarness h(FrameHarness::VirtualTime());
        QVERIFY(h.Ready());
        const QString hintBefore = h.View().StatusLine()->Text();
        ModalWatch dialogs([](QWidget* w) { w->close(); });

        h.Key(Qt::Key_R, Qt::ControlModifier);
        QVERIFY(h.WaitTransferStarted());
        // Well into the records: the table refuses every edit, the band
        // section stays usable.
        QVERIFY(h.WaitAppBytes(8, 3000));
        QVERIFY(h.View().Form().View().IsTableLocked());
        QCOMPARE(h.Grid().Core().Shape().GetFixedCols(), 3);
        QVERIFY(!AnyCellEditable(h.Grid()));
        QTest::mouseDClick(&h.Grid(), Qt::LeftButton, Qt::NoModifier, h.Grid().Geometry().CellRect(2, 2).center());
        h.Grid().setFocus(Qt::OtherFocusReason);
        h.Type("27");
        h.Key(Qt::Key_Delete);
        QVERIFY(!h.Grid().Editor());
        QVERIFY(!h.View().Form().View().EditPending());
        QVERIFY(h.View().ModeSelect()->isEnabled());
        QCOMPARE(h.View().StatusLine()->Text(), hintBefore);
        // Another band plan would clear the records being read: the list
        // goes back to the plan in use.
        const QString planBefore = h.ModeText();
        h.ChooseBandPlan(2);
        QCOMPARE(h.ModeText(), planBefore);

        // Other commands are refused while the read runs: no dialog, no
        // write, nothing cleared.
        h.Key(Qt::Key_W, Qt::ControlModifier);
        h.Key(Qt::Key_N, Qt::ControlModifier);
        h.Key(Qt::Key_S, Qt::ControlModifier);
        h.Key(Qt::Key_O, Qt::ControlModifier);

        QVERIFY(h.WaitTransferEnd(kReadTimeoutMs));
        QCOMPARE(h.Link().Outcome(), TransferOutcome::Completed);
        QCOMPARE(h.Messages(), QStringList{"UPLOAD COMPLETE"});
        QCOMPARE(dialogs.Count(), 0);
        QCOMPARE(h.radio.ReadsCompleted(), 1);
        QCOMPARE(h.radio.WritesCompleted(), 0);

        QCOMPARE(h.Cells(), SampleCells());
        QCOMPARE(h.ModeText(), QString("South Africa"));
        QVERIFY(h.BandControlsEnabled(true, true));
        QCOMPARE(h.CheckedBoxes(), kSampleFlags);
        QCOMPARE(h.EmgItems(), kSampleEmgList);
        QCOMPARE(h.EmgShown(), QString("CH 07"));
        QCOMPARE(h.View().Progress()->value(), h.View().Progress()->maximum());
        QVERIFY(!h.View().Form().View().IsTableLocked());
        QCOMPARE(h.Grid().Core().Shape().GetFixedCols(), 2);
        QVERIFY(AllCellsEditable(h.Grid()));
        QVERIFY(h.line->IsConnected());  // the port stays open for the next command

        const QString shot = h.Screenshot("main_window_after_read.png");
        if (!qEnvironmentVariableIsEmpty("ORVEX_SHOT_DIR")) {
            QVERIFY2(!shot.isEmpty(), "the screenshot could not be written");
            const QImage image(shot);
            QCOMPARE(image.size(), h.frame->size() * h.frame->devicePixelRatio());
            std::set<QRgb> colours;
            for (int y = 0; y < image.height(); y += 3)
                for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
            QVERIFY2(colours.size() > 8, "the window picture is blank");
        }

        // The table takes edits again, and the completed read leaves no
        // watchdog behind to report a timeout later.
        h.TypeIntoCell(5, "27.5");
        QCOMPARE(h.Cell(5), QString("27.5000"));
        QVERIFY(!h.Link().Activity().watchdogWaiting);
        h.Pass(2200);
        QCOMPARE(h.Messages(), QStringList{"UPLOAD COMPLETE"});
    }

    // A South Africa write: the radio ends up holding exactly what the form
    // showed, flags and emergency channel included; the band controls are
    // locked only while the write runs.
    void writeProgramsTheRadio() {
        FrameHarness h(FrameHarness::VirtualTime());
        QVERIFY(h.Ready());
        h.ChooseBandPlan(3);
        for (int n : {4, 10, 17}) h.ClickBox(n);
        h.ChooseEmg("CH 10");
        h.TypeIntoCell(1, "26.5");
        h.TypeIntoCell(2, "27.0125");
        h.TypeIntoCell(3, "30");
        h.TypeIntoCell(10, "26");
        const QStringList cells = h.Cells();
        QCOMPARE(cells, (QStringList{"26.5000", "27.0125", "30.0000", "", "", "", "", "", "", "26.0000"}));

        h.Key(Qt::Key_W, Qt::ControlModifier);
        QVERIFY(h.WaitTransferStarted());
        QVERIFY(h.BandControlsEnabled(false, false));
        QVERIFY(!AnyCellEditable(h.Grid()));
        QVERIFY(h.WaitAppBytes(20, 3000));
        QVERIFY(h.BandControlsEnabled(false, false));
        // A band plan change by the user cannot slip in mid-write.
        h.View().ModeSelect()->setFocus(Qt::OtherFocusReason);
        h.Key(Qt::Key_Down);
        QCOMPARE(h.ModeText(), QString("South Africa"));

        QVERIFY(h.WaitTransferEnd(kWriteTimeoutMs));
        QCOMPARE(h.Link().Outcome(), TransferOutcome::Completed);
        QCOMPARE(h.Messages(), QStringList{"DOWNLOAD COMPLETE"});
        QVERIFY(h.BandControlsEnabled(true, true));
        QVERIFY(AllCellsEditable(h.Grid()));
        QCOMPARE(h.Cells(), cells);
        QCOMPARE(h.CheckedBoxes(), (std::vector<int>{4, 10, 17}));
        QCOMPARE(h.EmgShown(), QString("CH 10"));

        QCOMPARE(h.radio.WritesCompleted(), 1);
        const sim::RadioMemory& m = h.radio.Memory();
        QCOMPARE(int(m.bandPlan), 3);
        QCOMPARE(int(m.emgChannel), 10);
        for (int n = 1; n <= kChannelEnableCount; ++n)
            QCOMPARE(int(m.flags[n - 1]), (n == 4 || n == 10 || n == 17) ? 1 : 0);
        for (int r = 1; r <= kChannelCount; ++r) {
            const QString& cell = cells[r - 1];
            QCOMPARE(int(m.records[r - 1].m_nNumber), r);
            QCOMPARE(m.records[r - 1].m_wFreq, CodeOf(cell));
            QCOMPARE(m.rxCode[r - 1], cell.isEmpty() ? kEmptyFrequencyCode : CodeOf(cell, 10.695));
        }

    }

    void southAfricaWriteWithoutChannelsIsRefused() {
        FrameHarness h(FrameHarness::VirtualTime());
        QVERIFY(h.Ready());
        h.ChooseBandPlan(3);
        h.TypeIntoCell(1, "27");
        const int opens = h.line->Opens();
        h.Key(Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(h.Messages(), QStringList{" Emg Channel check !"});
        h.Pass(300);
        QVERIFY(h.line->WrittenBytes().empty());
        QCOMPARE(h.line->Opens(), opens);
        QVERIFY(!h.Link().Activity().Busy());
        QVERIFY(h.BandControlsEnabled(true, true));
        QVERIFY(AllCellsEditable(h.Grid()));
        QCOMPARE(h.radio.WritesCompleted(), 0);
        QCOMPARE(h.Messages().size(), 1);
    }

    // A 30.0025 in row 4 (as a file or a radio holding that code leaves it;
    // a paste refuses it, so it is set in the form's cells directly); the
    // write sends rows 1..3 and stops there with the range message, and the
    // form is usable again at once.
    void writeStopsAtAFrequencyOutOfRange() {
        FrameHarness h(FrameHarness::VirtualTime());
        QVERIFY(h.Ready());
        h.TypeIntoCell(1, "26.965");
        h.TypeIntoCell(2, "27.005");
        h.TypeIntoCell(3, "27.125");
        QApplication::clipboard()->setText("30.0025");
        h.ClickCell(4);
        h.Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(h.Cell(4), QString());
        QCOMPARE(h.Messages(), QStringList{"Frequency is out of range or Not step 2.5Khz"});
        h.prompts.shown.clear();
        h.View().Form().SetCellText(4, "30.0025");
        QCOMPARE(h.Cell(4), QString("30.0025"));
        QVERIFY(!h.View().Form().View().EditPending());

        h.frame->OnCommand(ID_WRITE_TO_RADIO);
        QVERIFY(h.WaitTransferEnd(kWriteTimeoutMs));
        QCOMPARE(h.Link().Outcome(), TransferOutcome::Failed);
        QCOMPARE(h.Messages(), QStringList{"Frequency is out of range or Not setp 2.5Khz"});
        // Check device, direction, band plan, then three 12-byte blocks.
        const auto sent = h.line->WrittenBytes();
        QCOMPARE(int(sent.size()), 3 + 3 * 12);
        QCOMPARE(int(sent[1]), 0x22);
        for (int block = 0; block < 3; ++block) {
            QCOMPARE(int(sent[3 + block * 12]), 0xAA);
            QCOMPARE(int(sent[3 + block * 12 + 11]), 0xCC);
        }
        QVERIFY(!h.View().Form().View().IsTableLocked());
        QVERIFY(AllCellsEditable(h.Grid()));
        QVERIFY(h.BandControlsEnabled(true, false));
        QVERIFY(!h.Link().Activity().watchdogWaiting);
        h.Pass(300);
        QCOMPARE(h.line->WrittenBytes().size(), sent.size());
        QCOMPARE(h.radio.WritesCompleted(), 0);
        QCOMPARE(h.Cell(4), QString("30.0025"));
        QCOMPARE(h.Messages().size(), 1);
    }

    // An edit still open when a transfer is asked for: the question comes,
    // No leaves everything as it was, Yes lets the transfer start with the
    // typed value committed. A finished edit raises no question.
    void unfinishedEditAsksBeforeATransfer_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("finishFirst");
        QTest::addColumn<bool>("yes");
        QTest::newRow("read, No") << int(ID_READ_FROM_RADIO) << false << false;
        QTest::newRow("write, No") << int(ID_WRITE_TO_RADIO) << false << false;
        QTest::newRow("read, Yes") << int(ID_READ_FROM_RADIO) << false << true;
        QTest::newRow("write, Yes") << int(ID_WRITE_TO_RADIO) << false << true;
        QTest::newRow("read after an edit left unchanged") << int(ID_READ_FROM_RADIO) << true << false;
        QTest::newRow("write and verify, No") << int(ID_WRITE_AND_VERIFY) << false << false;
        QTest::newRow("write and verify, Yes") << int(ID_WRITE_AND_VERIFY) << false << true;
    }
    void unfinishedEditAsksBeforeATransfer() {
        QFETCH(int, command);
        QFETCH(bool, finishFirst);
        QFETCH(bool, yes);
        FrameHarness h(FrameHarness::VirtualTime());
        QVERIFY(h.Ready());
        h.TypeIntoCell(2, "26.5");
        h.TypeIntoCell(3, "28");
        h.ClickCell(2);
        if (finishFirst) {
            h.Key(Qt::Key_Return);  // opens the editor on the cell's text
            QVERIFY(h.Grid().Editor());
            h.Key(Qt::Key_Return);  // and leaves it unchanged
        } else {
            h.Type("27.5");
            QVERIFY(h.Grid().Editor());
        }
        QCOMPARE(h.View().Form().View().EditPending(), !finishFirst);
        if (yes) h.prompts.answers.push_back(MsgAnswer::Yes);

        // The key goes to the cell editor, which has the focus.
        h.Key(command == ID_READ_FROM_RADIO ? Qt::Key_R : Qt::Key_W,
              command == ID_WRITE_AND_VERIFY ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
        if (finishFirst) {
            QVERIFY(h.prompts.shown.empty());
            QVERIFY(h.WaitAppBytes(2));
            return;
        }
        QCOMPARE(h.Messages(), QStringList{"Set did not end. Do you progress continuation?"});
        QVERIFY(h.prompts.shown[0].buttons == MsgButtons::YesNo);
        QVERIFY(!h.View().Form().View().EditPending());
        if (!yes) {
            h.Pass(300);
            QVERIFY(h.line->WrittenBytes().empty());
            QVERIFY(!h.View().Form().View().IsTableLocked());
            QCOMPARE(h.Link().Outcome(), TransferOutcome::None);
            QVERIFY(h.BandControlsEnabled(true, false));
            QCOMPARE(h.Cell(3), QString("28.0000"));
            return;
        }
        QVERIFY(h.WaitAppBytes(2));
        QCOMPARE(int(h.line->WrittenBytes()[1]), command == ID_WRITE_TO_RADIO ? 0x22 : 0x44);
        QVERIFY(!h.Grid().Editor());
        QCOMPARE(h.Cell(2), QString("27.5000"));
        QCOMPARE(h.Messages().size(), 1);
        if (command != ID_WRITE_AND_VERIFY) return;
        // The edit is what is written and verified.
        QVERIFY(h.Wait([&] { return !h.View().VerifyRunning(); }, 2 * kReadTimeoutMs + kWriteTimeoutMs));
        QCOMPARE(h.Messages().back(), QString::fromStdString(std::string(texts::kVerifyOk)));
        QCOMPARE(h.radio.Memory().records[1].m_wFreq, *FrequencyCodeFromText("27.5000"));
        QCOMPARE(h.Cell(2), QString("27.5000"));
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::TransferTest)
#include "TransferTest.moc"
