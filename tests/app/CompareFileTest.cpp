// File > Compare with File...: the form against a file the Open dialog
// names, told in one message; the form itself stays as it was.
#include <fstream>

#include "app/support/FrameHarness.h"
#include "link/LinkTexts.h"
#include "ui/model/FormModel.h"
#include "ui/model/FormTexts.h"

namespace orvex::test {
namespace {

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

// South Africa, P1 and P3 filled, CH 03 and CH 07 ticked.
void WriteSouthAfricaFile(const std::string& path) {
    ScriptedPrompter quiet;
    FormModel form(quiet);
    form.StartUp();
    form.OnModeSelect(kBandPlanSouthAfrica);
    form.SetCellText(1, "27.0000");
    form.SetCellText(3, "26.9650");
    form.ClickChannelBox(3);
    form.ClickChannelBox(7);
    QVERIFY2(Save(form, path), path.c_str());
}

// Everything a compare must leave alone.
struct FormState {
    FormSnapshot shown, saved;
    std::vector<std::string> recent;
    QString title;
    bool operator==(const FormState&) const = default;
};
FormState StateOf(FrameHarness& h) {
    return {h.View().Form().Snapshot(), h.View().Form().Baseline(), h.View().RecentFileList(), h.frame->windowTitle()};
}

}  // namespace

class CompareFileTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Picked in the Open dialog, the file's differences are listed; the
    // form, its saved state, the caption and the recent files stay.
    void theDifferencesAreListedAndTheFormStaysAsItWas() {
        FrameHarness h;
        QVERIFY(h.ShowAndActivate());
        const std::string file = h.dir.File("radio.kvx");
        WriteSouthAfricaFile(file);
        h.View().Form().SetCellText(1, "27.0000");
        h.View().Form().SetCellText(2, "28.5000");
        const FormState before = StateOf(h);

        ModalWatch watch([&](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            QVERIFY2(d, "a dialog other than the file dialog came up");
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptOpen);
            Pick(*d, QString::fromStdString(file));
        });
        // After Open Backup... in the File menu.
        const QStringList items = h.MenuItems("&File");
        QCOMPARE(items.value(items.indexOf("Open &Backup...") + 1), QString("&Compare with File..."));
        h.Menu("&File")->actions().at(items.indexOf("&Compare with File..."))->trigger();
        QTRY_COMPARE(h.Messages(), QStringList{"7 differences between the form and radio.kvx"});
        QCOMPARE(watch.Count(), 1);
        QCOMPARE(h.prompts.shown[0].detail,
                 std::string("the form | radio.kvx\n"
                             "P2: 28.5000 | (empty)\n"
                             "P3: (empty) | 26.9650\n"
                             "Band plan: Australian Marine | South Africa\n"
                             "Emg Channel: (none) | CH 03\n"
                             "CH 03: off | on\n"
                             "CH 07: off | on\n"
                             // A file opened clears the option flags start-up sets.
                             "Other stored bytes: 1 differs, at offset 166 (option flags)"));
        QVERIFY(StateOf(h) == before);
        QCOMPARE(h.Cell(2), QString("28.5000"));
    }

    // A file Open would refuse gets Open's own message, and nothing else.
    void aFileThatCannotBeOpenedGetsOpensMessage() {
        FrameHarness h;
        std::ofstream(h.dir.File("notes.kvx")) << std::string(2048, 'x');
        const FormState before = StateOf(h);
        QVERIFY(!h.View().CompareWithFile(h.dir.File("missing.kvx")));
        QVERIFY(!h.View().CompareWithFile(h.dir.File("notes.kvx")));
        QCOMPARE(h.Messages(), (QStringList{Text(texts::kCantReadFile),
                                            Text(texts::kNotSettingsFileFormat).replace("%s", "notes.kvx")}));
        QVERIFY(StateOf(h) == before);
    }

    // While a read runs, the command is refused as Open is: no dialog, no
    // message of its own.
    void refusedWhileATransferRuns() {
        FrameHarness h(FrameHarness::VirtualTime());
        QVERIFY(h.Ready());
        const std::string file = h.dir.File("radio.kvx");
        WriteSouthAfricaFile(file);
        ModalWatch watch([](QWidget* w) { w->close(); });
        h.frame->OnCommand(ID_READ_FROM_RADIO);
        QVERIFY(h.WaitTransferStarted());
        h.frame->OnCommand(ID_FILE_COMPARE);
        QVERIFY(!h.View().CompareWithFile(file));
        QVERIFY(h.WaitTransferEnd(kReadTimeoutMs));
        h.Pass(100);
        QCOMPARE(watch.Count(), 0);
        QCOMPARE(h.Messages(), QStringList{Text(texts::kUploadComplete)});
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::CompareFileTest)
#include "CompareFileTest.moc"
