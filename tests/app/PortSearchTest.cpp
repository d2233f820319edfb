// "Auto Search" through the main window: the radio found on a later port is
// remembered and used, any key or Auto Stop ends a search and goes back to
// the remembered port, and a running transfer keeps the search from
// starting.
#include <QTest>
#include <QTimer>

#include "app/support/FrameHarness.h"

namespace orvex::test {
namespace {

const QString kTotalHint = "TOTAL FREQUENCY RANGE : 26.0000 MHz ~ 30.0000 MHz";

QString Checking(int com) { return QString("CHECKING : COM%1 , 'AUTO STOP' Please Any Key ").arg(com); }

// Keeps every text the status line shows, in order, without repeats.
class StatusRecorder {
public:
    explicit StatusRecorder(const CFontStatic& line) : m_line(line) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Sample(); });
        m_timer.start(5);
        Sample();
    }
    const QStringList& Texts() {
        Sample();
        return m_texts;
    }
    // In virtual time the clock moves only in the test's waits: they call this.
    void Sample() {
        if (m_texts.isEmpty() || m_texts.back() != m_line.Text()) m_texts << m_line.Text();
    }

private:
    const CFontStatic& m_line;
    QTimer m_timer;
    QStringList m_texts;
};

}  // namespace

class PortSearchTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void searchFindsTheRadioOnALaterPort() {
        FrameHarness::Setup setup = FrameHarness::VirtualTime();
        setup.radioDevice = "COM3";
        FrameHarness h(setup);
        QVERIFY(h.Ready());
        StatusRecorder status(*h.View().StatusLine());

        h.frame->Action(ID_AUTO_SEARCH)->trigger();
        QVERIFY(h.Wait(
                [&] {
                    status.Sample();
                    return h.Count("Successful connection!!") == 1;
                },
                4000));
        QCOMPARE(h.Messages(), QStringList{"Successful connection!!"});
        QCOMPARE(status.Texts(), (QStringList{kTotalHint, Checking(1), Checking(2), Checking(3), kTotalHint}));
        QCOMPARE(h.frame->PortPaneText(), FrameHarness::PortPane(3));
        QCOMPARE(QString::fromStdString(h.PortFileContent()), QString("2\n"));
        QVERIFY(!h.View().Search().Active());
        // The port found stays open and is the one used from now on.
        QCOMPARE(QString::fromStdString(h.line->OpenedName()), QString("COM3"));
        QVERIFY(h.line->IsConnected());

        QVERIFY(h.ReadFromRadio());
        QCOMPARE(QString::fromStdString(h.line->OpenedName()), QString("COM3"));
        QCOMPARE(h.Cells(), SampleCells());
        QCOMPARE(h.Messages(), (QStringList{"Successful connection!!", "UPLOAD COMPLETE"}));
    }

    // Whatever the key, and wherever the focus, it ends the search once,
    // as Auto Stop does.
    void anyKeyOrAutoStopEndsTheSearch_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape in Mode Select") << "mode:Escape";
        QTest::newRow("Auto Stop") << "menu";
    }
    void anyKeyOrAutoStopEndsTheSearch() {
        QFETCH(QString, how);
        FrameHarness::Setup setup = FrameHarness::VirtualTime();
        setup.radioDevice = "COM99";
        FrameHarness h(setup);
        QVERIFY(h.Ready());
        h.frame->Action(ID_AUTO_SEARCH)->trigger();
        QVERIFY(h.Wait([&] { return h.View().StatusLine()->Text() == Checking(2); }, 3000));
        QVERIFY(h.View().Search().Active());

        if (how == "menu") {
            h.frame->Action(ID_AUTO_STOP)->trigger();
        } else {
            if (how.startsWith("mode:")) h.View().ModeSelect()->setFocus(Qt::OtherFocusReason);
            h.Key(QKeySequence(how.section(':', 1))[0].key());
        }
        QVERIFY(h.Wait([&] { return h.Count("Stop connecting!!") == 1; }, 1000));
        QVERIFY(h.Wait([&] { return h.View().StatusLine()->Text() == kTotalHint; }, 1000));
        QVERIFY(!h.View().Search().Active());
        // Back on the remembered port, which the file still names.
        QVERIFY(h.Wait([&] { return h.line->OpenedName() == "COM1"; }, 1000));
        QVERIFY(h.line->IsConnected());
        QCOMPARE(h.frame->PortPaneText(), FrameHarness::PortPane(1));
        QCOMPARE(QString::fromStdString(h.PortFileContent()), QString("0\n"));
        const int opens = h.line->Opens();
        h.Pass(450);  // two ticks: no more probing
        QCOMPARE(h.line->Opens(), opens);
        QCOMPARE(h.View().StatusLine()->Text(), kTotalHint);
        QCOMPARE(h.Messages(), QStringList{"Stop connecting!!"});
    }

    // A probe sends its device check and pauses a few milliseconds; a key
    // that comes in that pause, and travels up from the focused cell to the
    // window, still stops the search once.
    void keyRightAfterAProbeStopsTheSearchOnce() {
        FrameHarness::Setup setup = FrameHarness::VirtualTime();
        setup.radioDevice = "COM99";
        FrameHarness h(setup);
        QVERIFY(h.Ready());
        h.ClickCell(3, 0);  // a title cell: the key goes unhandled to the parents
        // Looked at after each step of the window's clock: the key comes in
        // the pause that follows the second probe's device check.
        bool pressed = false, pausing = false;
        h.frame->Action(ID_AUTO_SEARCH)->trigger();
        QVERIFY(h.Wait(
                [&] {
                    if (h.View().StatusLine()->Text() != Checking(2)) return false;
                    pausing = h.Link().Activity().pausing;
                    h.Key(Qt::Key_Q);
                    return pressed = true;
                },
                3000));
        QVERIFY(pausing);
        QVERIFY(h.Wait([&] { return h.View().Search().Settled(); }, 1000));
        h.Pass(250);
        QCOMPARE(h.Messages(), QStringList{"Stop connecting!!"});
        QVERIFY(!h.View().Search().Active());
        QCOMPARE(QString::fromStdString(h.line->OpenedName()), QString("COM1"));
        // The search is over: the line must not still ask for a key to stop
        // it, even when the last cell selected was a title cell.
        QCOMPARE(h.View().StatusLine()->Text(), kTotalHint);
    }

    // New, Open and Save end a running search at its next tick, without a
    // word; Compare only reads a file and leaves it running.
    void fileCommandsDuringASearch_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("ends");
        QTest::newRow("New") << int(ID_FILE_NEW) << true;
        QTest::newRow("Open") << int(ID_FILE_OPEN) << true;
        QTest::newRow("Save") << int(ID_FILE_SAVE) << true;
        QTest::newRow("Compare") << int(ID_FILE_COMPARE) << false;
    }
    void fileCommandsDuringASearch() {
        QFETCH(int, command);
        QFETCH(bool, ends);
        FrameHarness::Setup setup = FrameHarness::VirtualTime();
        setup.radioDevice = "COM99";
        FrameHarness h(setup);
        QVERIFY(h.Ready());
        const QString file = QString::fromStdString(h.dir.File("other.kvx"));
        QVERIFY(h.View().SaveFileTo(file));
        h.frame->Action(ID_AUTO_SEARCH)->trigger();
        QVERIFY(h.Wait([&] { return h.View().StatusLine()->Text() == Checking(2); }, 3000));
        h.prompts.shown.clear();
        switch (command) {
            case ID_FILE_NEW: h.frame->OnCommand(ID_FILE_NEW); break;
            case ID_FILE_OPEN: QVERIFY(h.View().OpenFile(file)); break;
            case ID_FILE_SAVE: QVERIFY(h.View().SaveFileTo(file)); break;
            default: QVERIFY(h.View().CompareWithFile(file.toStdString())); break;
        }
        h.Pass(450);  // two ticks
        QCOMPARE(h.View().Search().Active(), !ends);
        if (!ends) return;
        QVERIFY2(h.prompts.shown.empty(), qPrintable(h.Messages().join("|")));
        QCOMPARE(h.View().StatusLine()->Text(), kTotalHint);
    }

    void searchDoesNotStartDuringATransfer() {
        FrameHarness h;
        QVERIFY(h.Ready());
        StatusRecorder status(*h.View().StatusLine());
        h.frame->OnCommand(ID_READ_FROM_RADIO);
        QVERIFY(h.WaitAppBytes(4));
        h.frame->Action(ID_AUTO_SEARCH)->trigger();
        QVERIFY(h.WaitTransferEnd(kReadTimeoutMs));
        QCOMPARE(h.Link().Outcome(), TransferOutcome::Completed);
        // The read's backup is its news; the search had none.
        const BackupListing kept = h.View().Backups().List();
        QCOMPARE(int(kept.value().size()), 1);
        QCOMPARE(status.Texts(),
                 (QStringList{kTotalHint, QString::fromStdString(std::string(kBackupKeptNews) + kept.value()[0].path)}));
        QCOMPARE(h.Messages(), QStringList{"UPLOAD COMPLETE"});
        QVERIFY(!h.View().Search().Active());
        QCOMPARE(QString::fromStdString(h.PortFileContent()), QString("0\n"));
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::PortSearchTest)
#include "PortSearchTest.moc"
