// What the user typed or chose stays as they left it, in the window driven
// by keys and clicks: a refused entry keeps the cell's value, a click on a
// channel box keeps the emergency channel the next write sends, and New,
// Open and a read are undone like any change, their unsaved edits kept.
#include <QFileInfo>
#include <QTest>

#include "app/support/FrameHarness.h"
#include "engine/support/Samples.h"

namespace orvex::test {

class UserDataTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void aRefusedEntryKeepsWhatTheCellHeld() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.TypeIntoCell(6, "28");
        QCOMPARE(h.Cell(6), QString("28.0000"));
        h.TypeIntoCell(6, "27.0126");
        h.TypeIntoCell(6, "31", Qt::Key_Tab);
        h.TypeIntoCell(7, "27.126", Qt::Key_Down);
        QCOMPARE(h.Count("Frequency is out of range or Not step 2.5Khz"), 3);
        QCOMPARE(h.Cells().mid(5, 2), (QStringList{"28.0000", ""}));
        QCOMPARE(h.Grid().Core().Selection().Focus(), (grid::CellId{8, kFrequencyColumn}));
        // What a write sends is what the cell shows.
        QVERIFY(h.WriteToRadio());
        QCOMPARE(h.radio.Memory().records[5].m_wFreq, std::uint16_t(28 * 400));
    }

    void aChannelBoxLeavesTheEmergencyChannelAlone() {
        FrameHarness h;
        QVERIFY(h.Ready());
        QVERIFY(h.ReadFromRadio());
        QCOMPARE(h.EmgShown(), QString("CH 07"));
        h.ClickBox(4);
        QCOMPARE(h.EmgShown(), QString("CH 07"));
        h.ClickBox(4);
        QCOMPARE(h.EmgShown(), QString("CH 07"));
        QVERIFY(h.WriteToRadio());
        QCOMPARE(h.radio.Memory().emgChannel, std::uint8_t(7));

        // Clearing its own box moves it, and the status line says where.
        h.ClickBox(7);
        QCOMPARE(h.EmgShown(), QString("CH 01"));
        QCOMPARE(h.View().StatusLine()->Text(), QString("CH 07 is disabled: Emg Channel is now CH 01"));
        QVERIFY(h.WriteToRadio());
        QCOMPARE(h.radio.Memory().emgChannel, std::uint8_t(1));
    }

    // Each is question-free and one step of Ctrl+Z; the edits they
    // replaced are also offered by File > Restore Unsaved Edits.
    void newOpenAndAReadAreUndoneWithTheirUnsavedEdits_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Ctrl+N") << "new";
        QTest::newRow("Open") << "open";
        QTest::newRow("Ctrl+R") << "read";
    }
    void newOpenAndAReadAreUndoneWithTheirUnsavedEdits() {
        QFETCH(QString, how);
        FrameHarness h;
        QVERIFY(h.Ready());
        const std::string file = SaveSample(h.dir, "sa.kvx", kBandPlanSouthAfrica, {3, 7});
        QVERIFY(!h.frame->Action(ID_FILE_RESTORE_EDITS)->isEnabled());
        h.TypeIntoCell(2, "27.125");
        const QStringList edited = h.Cells();
        const QString caption = h.frame->windowTitle();

        if (how == "new") {
            h.Key(Qt::Key_N, Qt::ControlModifier);
        } else if (how == "open") {
            QVERIFY(h.View().OpenFile(QString::fromStdString(file)));
        } else {
            h.Key(Qt::Key_R, Qt::ControlModifier);
            QVERIFY(h.WaitTransferStarted());
            QVERIFY(h.WaitTransferEnd(kReadTimeoutMs));
        }
        QVERIFY(h.Cells() != edited);
        QVERIFY(!HasUnsavedEdits(h.View().Form()));
        QVERIFY(h.frame->Action(ID_FILE_RESTORE_EDITS)->isEnabled());
        // A read's news is its backup's, then this.
        if (how == "read")
            QVERIFY(h.View().StatusLine()->Text().endsWith(". The edits the form had are kept: Edit > Undo"));
        else
            QCOMPARE(h.View().StatusLine()->Text(), QString("The edits the form had are kept: Edit > Undo or File > "
                                                            "Restore Unsaved Edits brings them back"));

        h.ClickCell(5);
        h.Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(h.Cells(), edited);
        QCOMPARE(h.frame->windowTitle(), caption);
        QVERIFY(HasUnsavedEdits(h.View().Form()));
        QVERIFY(!h.frame->Action(ID_FILE_RESTORE_EDITS)->isEnabled());  // nothing else to bring back
        // The status line no longer speaks of the form that was undone.
        QCOMPARE(h.View().StatusLine()->Text(), QString("FREQUENCY RANGE : 26.0000 MHz ~ 30.0000 MHz"));
    }

    // Windows' narrow calls would lose these characters; the file calls and
    // the caption take the name as it is.
    void aFileNamedOutsideTheAnsiCodePageSavesOpensAndNamesTheCaption() {
        FrameHarness h;
        QVERIFY(h.Ready());
        const QString path = QString::fromStdString(h.dir.File("")) + QString::fromUtf8("Радио ✓ 한.kvx");
        h.TypeIntoCell(2, "27.125");
        QVERIFY(h.View().SaveFileTo(path));
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(h.View().OpenFile(path));
        QCOMPARE(h.frame->windowTitle(), QString::fromUtf8("ORVEX Programmer Ver 1.1.2 - Радио ✓ 한"));
        QCOMPARE(h.Cell(2), QString("27.1250"));
    }

    void earlierNewsGivesWayAfterOpenSaveAndNew() {
        FrameHarness h;
        QVERIFY(h.Ready());
        QVERIFY(h.ReadFromRadio());
        QVERIFY(h.View().StatusLine()->Text().startsWith("Backup of the radio kept: "));
        const std::string file = SaveSample(h.dir, "plain.kvx", 1);
        QVERIFY(h.View().OpenFile(QString::fromStdString(file)));
        QCOMPARE(h.View().StatusLine()->Text(), QString("TOTAL FREQUENCY RANGE : 26.0000 MHz ~ 30.0000 MHz"));
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::UserDataTest)
#include "UserDataTest.moc"
