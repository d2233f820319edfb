// The main window as the user meets it: start-up state and the remembered
// port, the toolbar, menu and keys reaching their commands, the band plan
// section, Enter and Escape, and Save, Open and New through the window.
#include <QAccessible>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>

#include "app/AboutDlg.h"
#include "app/support/FrameHarness.h"
#include "ui/PortListDialog.h"
#include "link/LinkTexts.h"

namespace orvex::test {
namespace {

const QString kCaption = "ORVEX Programmer Ver 1.1.2";
const QString kTotalHint = "TOTAL FREQUENCY RANGE : 26.0000 MHz ~ 30.0000 MHz";

// Names a way to give a command: "tool:<button text>", "key:<sequence>" or
// "menu:<command id>".
void Give(FrameHarness& h, const QString& how) {
    const QString what = how.section(':', 1);
    if (how.startsWith("tool:")) {
        h.ClickTool(what);
    } else if (how.startsWith("key:")) {
        const QKeyCombination k = QKeySequence(what)[0];
        h.Key(k.key(), k.keyboardModifiers());
    } else {
        QAction* a = h.frame->Action(what.toInt());
        QVERIFY2(a, qPrintable("no menu item for " + what));
        a->trigger();
    }
}

std::vector<int> Ints(std::initializer_list<int> v) { return v; }

}  // namespace

namespace {

// The paths to the controls shown that have no name, walking the
// accessible tree as a screen reader does. Containers that say nothing
// themselves and empty cells (read as blank) need none.
QStringList NamelessControls(QAccessibleInterface* iface, const QString& path) {
    static const QSet<QAccessible::Role> needNames{
        QAccessible::PushButton, QAccessible::CheckBox,  QAccessible::ComboBox,     QAccessible::Table,
        QAccessible::StaticText, QAccessible::ProgressBar, QAccessible::ToolBar,    QAccessible::StatusBar,
        QAccessible::Grouping,   QAccessible::EditableText, QAccessible::MenuItem,  QAccessible::MenuBar,
        QAccessible::ColumnHeader, QAccessible::RowHeader, QAccessible::Dialog,     QAccessible::Window};
    QStringList nameless;
    if (!iface || iface->state().invisible) return nameless;
    const QString here = path + "/" + QString::number(iface->role(), 16) + " '" + iface->text(QAccessible::Name) + "'";
    // A dialog's row of buttons groups them without saying anything.
    const bool buttonRow = iface->object() && iface->object()->inherits("QDialogButtonBox");
    if (needNames.contains(iface->role()) && !buttonRow && iface->text(QAccessible::Name).trimmed().isEmpty())
        nameless << here;
    for (int i = 0; i < iface->childCount(); ++i) nameless << NamelessControls(iface->child(i), here);
    return nameless;
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    // Every control a screen reader reaches has a name to say: the main
    // window's, the port list's and the About box's.
    void everyControlHasAName() {
        FrameHarness h;
        QVERIFY(h.Ready());
        PortEntry port;
        port.com = 3;
        port.device = "/dev/ttyUSB0";
        CPortListDialog ports({port}, h.frame.get());
        CAboutDlg about(h.frame.get());
        for (QWidget* window : std::initializer_list<QWidget*>{h.frame.get(), &ports, &about}) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            const QStringList nameless = NamelessControls(QAccessible::queryAccessibleInterface(window), {});
            QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join('\n')));
        }
    }

    // The keyboard alone reaches every menu and item: each has a mnemonic
    // of its own within its menu (the recent files are numbered).
    void everyMenuAndItemHasAMnemonic() {
        FrameHarness h;
        // The toolkit's own reading of the text, "&&" included.
        auto mnemonic = [](const QString& text) { return QKeySequence::mnemonic(text).toString(); };
        QSet<QString> titles;
        for (QAction* menu : h.frame->menuBar()->actions()) {
            const QString key = mnemonic(menu->text());
            QVERIFY2(!key.isEmpty() && !titles.contains(key), qPrintable(menu->text()));
            titles << key;
            QSet<QString> items;
            for (QAction* item : menu->menu()->actions()) {
                if (item->isSeparator()) continue;
                const QString k = mnemonic(item->text());
                QVERIFY2(!k.isEmpty() && !items.contains(k), qPrintable(menu->text() + " > " + item->text()));
                items << k;
            }
        }
    }

    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // ---- Start-up --------------------------------------------------------

    void startsWithTheDefaultForm() {
        FrameHarness h;
        QVERIFY(h.ShowAndActivate());
        CQMView& v = h.View();
        QCOMPARE(h.frame->windowTitle(), kCaption);
        QCOMPARE(v.StatusLine()->Text(), kTotalHint);
        QCOMPARE(v.Progress()->minimum(), 0);
        QCOMPARE(v.Progress()->maximum(), 10);
        QVERIFY(v.Progress()->value() <= v.Progress()->minimum());
        QCOMPARE(h.ModeText(), QString("Australian Marine"));
        QStringList plans;
        for (int i = 0; i < v.ModeSelect()->count(); ++i) plans << v.ModeSelect()->itemText(i);
        QCOMPARE(plans, (QStringList{"Australian Marine", "Australian Land CB", "New Zealand CB", "South Africa",
                                     "New Guinea Marine"}));
        QVERIFY(h.EmgItems().isEmpty());
        QVERIFY(h.EmgShown().isEmpty());
        QVERIFY(h.CheckedBoxes().empty());
        QVERIFY(h.BandControlsEnabled(true, false));
        for (QGroupBox* g : v.findChildren<QGroupBox*>())
            if (g->title() == "South Africa Setup" || g->title() == "Channel Enable/Disable") QVERIFY(!g->isEnabled());
        for (QLabel* l : v.findChildren<QLabel*>())
            if (l->text() == "Emg Channel") QVERIFY(!l->isEnabled());
        QCOMPARE(h.Cells(), QStringList(10, QString()));
        for (int r = 1; r <= 10; ++r)
            QCOMPARE(QString::fromStdString(h.Grid().Core().GetCellText(r, 0)), QString("P%1").arg(r % 10));
        QVERIFY(!h.View().Form().View().IsTableLocked());

        // The window is sized to the form (to the screen where that is
        // smaller: the form scrolls then) and cannot be resized or maximised.
        QCOMPARE(h.frame->minimumSize(), h.frame->maximumSize());
        QVERIFY(!(h.frame->windowFlags() & Qt::WindowMaximizeButtonHint));
        const QRect room = h.frame->screen()->availableGeometry();
        QVERIFY2(h.frame->width() >= v.FormSize().width() || h.frame->frameGeometry().width() == room.width(),
                 qPrintable(QString("window %1 wide, form %2, screen %3, frame %4")
                                .arg(h.frame->width())
                                .arg(v.FormSize().width())
                                .arg(room.width())
                                .arg(h.frame->frameGeometry().width())));

        // The remembered port opens once the form has settled.
        QVERIFY(h.WaitPortShown(1));
        QCOMPARE(QString::fromStdString(h.line->OpenedName()), QString("COM1"));
        QVERIFY(h.line->IsConnected());
        QVERIFY(h.prompts.shown.empty());
    }

    void toolbarHasItsButtonsAndPrintIsUnavailable() {
        FrameHarness h;
        QVERIFY(h.Ready());
        QStringList layout;
        for (QAction* a : h.frame->ToolBar()->actions()) layout << (a->isSeparator() ? "|" : a->text());
        QCOMPARE(layout, (QStringList{"New File", "Open File", "Save File", "|", "Print", "|", "Uplaod", "Download",
                                      "|", "Exit"}));
        for (const char* text : {"New File", "Open File", "Save File", "Uplaod", "Download", "Exit"}) {
            QVERIFY2(h.ToolButton(text)->isEnabled(), qPrintable(text));
#ifndef _WIN32  // Wine has no desktop font of this width: its stand-in is wider
            QCOMPARE(h.ToolButton(text)->size(), QSize(65, 38));
#endif
        }
        QVERIFY(!h.ToolButton("Print")->isEnabled());

        // Ctrl+P has nothing to run either: no dialog, no message, no bytes.
        ModalWatch dialogs([](QWidget* w) { w->close(); });
        h.Key(Qt::Key_P, Qt::ControlModifier);
        QTest::qWait(50);
        QCOMPARE(dialogs.Count(), 0);
        QVERIFY(h.prompts.shown.empty());
        QVERIFY(h.line->WrittenBytes().empty());
        QVERIFY(!h.ToolButton("Print")->isEnabled());
    }

    void pointingAtAButtonShowsItsPrompt() {
        FrameHarness h;
        QVERIFY(h.Ready());
        QToolButton* upload = h.ToolButton("Uplaod");
        QTest::mouseMove(upload, upload->rect().center());
        QTRY_COMPARE_WITH_TIMEOUT(h.frame->statusBar()->currentMessage(), QString("Upload the active data"), 1000);
        QToolButton* save = h.ToolButton("Save File");
        QTest::mouseMove(save, save->rect().center());
        QTRY_COMPARE_WITH_TIMEOUT(h.frame->statusBar()->currentMessage(), QString("Save the active document"), 1000);
    }

    // A tip comes only from a prompt's part after the line feed.
    void onlyPromptsWithATipPartShowATip_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("tip");
        QTest::newRow("New File") << "New File" << "New";
        QTest::newRow("Open File") << "Open File" << "Open";
        QTest::newRow("Save File") << "Save File" << "Save";
        QTest::newRow("Print") << "Print" << "Print";
        QTest::newRow("Uplaod") << "Uplaod" << "";
        QTest::newRow("Download") << "Download" << "";
        QTest::newRow("Exit") << "Exit" << "";
    }
    void onlyPromptsWithATipPartShowATip() {
        QFETCH(QString, button);
        QFETCH(QString, tip);
        FrameHarness h;
        QVERIFY(h.Ready());
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
        QToolButton* b = h.ToolButton(button);
        const QPoint at = b->rect().center();
        QHelpEvent ask(QEvent::ToolTip, at, b->mapToGlobal(at));
        QApplication::sendEvent(b, &ask);
        QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), tip);
        QToolTip::hideText();
    }

    // Help > Connection Check on a port with no device behind it: the
    // finding and its fix are shown, and the remembered port is open again.
    void connectionCheckSaysWhatIsWrongAndGivesThePortBack() {
        FrameHarness h;
        QVERIFY(h.Ready());
        QCOMPARE(h.MenuItems("&Help"), (QStringList{"&Connection Check...", "&About NUV..."}));

        const int opens = h.line->Opens();
        h.frame->OnCommand(ID_CONNECTION_CHECK);
        // The check runs beside the window, which answers meanwhile; what
        // needs the port waits for it.
        QCOMPARE(int(h.prompts.shown.size()), 0);
        h.frame->OnCommand(ID_READ_FROM_RADIO);
        QVERIFY(!h.View().Link().Activity().Busy());
        QTRY_COMPARE(int(h.prompts.shown.size()), 1);
        const UserMessage& shown = h.prompts.shown[0];
        QCOMPARE(QString::fromStdString(shown.text), QString("Connection Check: COM1 (COM1)"));
        QVERIFY(shown.icon == MsgIcon::Stop);
        QVERIFY2(shown.detail.find("PROBLEM") != std::string::npos, shown.detail.c_str());
        QVERIFY2(shown.detail.find("fix:") != std::string::npos, shown.detail.c_str());
        // The fixes send the user to the window's own menu.
        QVERIFY2(shown.detail.find("Select Port > Port List") != std::string::npos, shown.detail.c_str());
        QVERIFY2(shown.detail.find("orvex-cli ports") == std::string::npos, shown.detail.c_str());
        QVERIFY(h.WaitPortShown(1));
        QVERIFY(h.line->Opens() > opens);
        QVERIFY(h.line->IsConnected());
    }

    void rememberedPortIsOpenedAtStart_data() {
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("com");
        QTest::addColumn<QString>("contentAfter");
        QTest::newRow("missing file is created for COM1") << false << "" << 1 << "0\n";
        QTest::newRow("4 means COM5") << true << "4\n" << 5 << "4\n";
        QTest::newRow("leading blanks, trailing words") << true << "  2 # COM3\n" << 3 << "  2 # COM3\n";
        QTest::newRow("no number: COM1, file left alone") << true << "COM7\n" << 1 << "COM7\n";
    }
    void rememberedPortIsOpenedAtStart() {
        QFETCH(bool, fileExists);
        QFETCH(QString, content);
        QFETCH(int, com);
        QFETCH(QString, contentAfter);
        FrameHarness::Setup setup;
        setup.portFile = fileExists ? std::optional<std::string>(content.toStdString()) : std::nullopt;
        FrameHarness h(setup);
        QVERIFY(h.ShowAndActivate());
        QVERIFY2(h.WaitPortShown(com), qPrintable(h.frame->PortPaneText()));
        QCOMPARE(QString::fromStdString(h.line->OpenedName()), QString("COM%1").arg(com));
        QCOMPARE(QString::fromStdString(h.PortFileContent()), contentAfter);
        QVERIFY(h.prompts.shown.empty());
    }

    void rememberedPortThatCannotOpenIsReported() {
        FrameHarness::Setup setup;
        setup.portFile = "4\n";
        setup.virtualTime = true;
        FrameHarness h(setup);
        h.line->RefuseOpen("COM5");
        QVERIFY(h.ShowAndActivate());
        QVERIFY(h.Wait([&] { return h.Count("Can't Open COM Port!") == 1; }, 2000));
        h.Pass(100);
        QCOMPARE(h.Messages(), QStringList{"Can't Open COM Port!"});
        QVERIFY(h.frame->PortPaneText().trimmed().isEmpty());
        QVERIFY(!h.line->IsConnected());
        // The form stays usable.
        QVERIFY(!h.Link().Activity().Busy());
        h.TypeIntoCell(1, "27.5");
        QCOMPARE(h.Cell(1), QString("27.5000"));
        h.ChooseBandPlan(3);
        QVERIFY(h.BandControlsEnabled(true, true));
    }

    // ---- Commands ----------------------------------------------------------

    // Each way to start a transfer reaches the right one: a read answers the
    // radio's 0x7F with 0x44, a write with 0x22; only a write disables Mode
    // Select while it runs.
    void transferCommandsReachTheirHandlers_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("direction");
        QTest::newRow("Uplaod button") << "tool:Uplaod" << 0x44;
        QTest::newRow("Ctrl+R") << "key:Ctrl+R" << 0x44;
        QTest::newRow("menu Read from Radio") << "menu:32771" << 0x44;
        QTest::newRow("Download button") << "tool:Download" << 0x22;
        QTest::newRow("Ctrl+W") << "key:Ctrl+W" << 0x22;
        QTest::newRow("menu Write to Radio") << "menu:32772" << 0x22;
    }
    void transferCommandsReachTheirHandlers() {
        QFETCH(QString, how);
        QFETCH(int, direction);
        FrameHarness h;
        QVERIFY(h.Ready());
        Give(h, how);
        QVERIFY(h.WaitAppBytes(2));
        const auto sent = h.line->WrittenBytes();
        QCOMPARE(int(sent[0]), 0x11);
        QCOMPARE(int(sent[1]), direction);
        QVERIFY(h.View().Form().View().IsTableLocked());
        QCOMPARE(h.View().ModeSelect()->isEnabled(), direction == 0x44);
    }

    void newFromButtonOrKeyReturnsTheFormToItsDefaults_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("New File button") << "tool:New File";
        QTest::newRow("Ctrl+N") << "key:Ctrl+N";
    }
    void newFromButtonOrKeyReturnsTheFormToItsDefaults() {
        QFETCH(QString, how);
        FrameHarness h(FrameHarness::VirtualTime());
        QVERIFY(h.Ready());
        h.ChooseBandPlan(3);
        h.ClickBox(3);
        h.ClickBox(8);
        h.TypeIntoCell(2, "27.5");
        h.TypeIntoCell(9, "29");
        const std::string path = h.dir.File("named.kvx");
        QVERIFY(h.View().SaveFileTo(QString::fromStdString(path)));
        QVERIFY(h.View().OpenFile(QString::fromStdString(path)));
        QCOMPARE(h.frame->windowTitle(), kCaption + " - named");

        // A cell still being edited ends before the form is cleared, so its
        // text does not land in the new form afterwards.
        h.ClickCell(4);
        h.Type("28");
        QVERIFY(h.Grid().Editor());

        Give(h, how);
        QVERIFY(!h.Grid().Editor());
        QVERIFY(!h.View().Form().View().EditPending());
        QCOMPARE(h.Cells(), QStringList(10, QString()));
        QVERIFY(h.CheckedBoxes().empty());
        QVERIFY(h.EmgItems().isEmpty());
        QCOMPARE(h.frame->windowTitle(), kCaption);
        QVERIFY(h.View().Progress()->value() <= 0);
        // The band plan is kept.
        QCOMPARE(h.ModeText(), QString("South Africa"));
        QVERIFY(h.prompts.shown.empty());
        // A default file afterwards stores an empty emergency list as 25.
        const std::string after = h.dir.File("after-new.kvx");
        QVERIFY(h.View().SaveFileTo(QString::fromStdString(after)));
        const Bytes b = ReadBytes(after);
        QCOMPARE(int(b.size()), 2048);
        QCOMPARE(int(b[167]), 3);
        QCOMPARE(int(b[168]), 25);
        for (int i = 169; i < 192; ++i) QCOMPARE(int(b[i]), 0);
    }

    // The file commands through their dialogs: the keys and buttons open
    // the right dialog, and what the user picks there is saved or opened.
    void saveAndOpenGoThroughTheirDialogs_data() {
        QTest::addColumn<QString>("save");
        QTest::addColumn<QString>("open");
        QTest::newRow("keys") << "key:Ctrl+S" << "key:Ctrl+O";
        QTest::newRow("buttons") << "tool:Save File" << "tool:Open File";
        QTest::newRow("menu") << "menu:57603" << "menu:57601";
    }
    void saveAndOpenGoThroughTheirDialogs() {
        QFETCH(QString, save);
        QFETCH(QString, open);
        FrameHarness h;
        QVERIFY(h.Ready());
        h.TypeIntoCell(4, "26.125");
        const QString base = QString::fromStdString(h.dir.File("picked"));

        QFileDialog::AcceptMode saveMode = QFileDialog::AcceptOpen;
        {
            ModalWatch watch([&](QWidget* w) {
                auto* d = qobject_cast<QFileDialog*>(w);
                if (!d) {
                    w->close();
                    return;
                }
                saveMode = d->acceptMode();
                Pick(*d, base);  // no extension: the dialog adds .kvx
            });
            Give(h, save);
            QTRY_COMPARE_WITH_TIMEOUT(watch.Count(), 1, 3000);
        }
        QCOMPARE(saveMode, QFileDialog::AcceptSave);
        QVERIFY2(Exists((base + ".kvx").toStdString()), "saved without the kvx extension");
        QCOMPARE(int(ReadBytes((base + ".kvx").toStdString()).size()), 2048);
        QCOMPARE(h.frame->windowTitle(), kCaption);

        h.frame->OnCommand(ID_FILE_NEW);
        QCOMPARE(h.Cell(4), QString());
        // Handing the activation back after a dialog is the window
        // manager's part; the offscreen platform has none.
        QVERIFY(h.ShowAndActivate());

        QFileDialog::AcceptMode openMode = QFileDialog::AcceptSave;
        QStringList filters;
        {
            ModalWatch watch([&](QWidget* w) {
                auto* d = qobject_cast<QFileDialog*>(w);
                if (!d) {
                    w->close();
                    return;
                }
                openMode = d->acceptMode();
                filters = d->nameFilters();
                Pick(*d, base + ".kvx");
            });
            Give(h, open);
            QTRY_COMPARE_WITH_TIMEOUT(watch.Count(), 1, 3000);
        }
        QCOMPARE(openMode, QFileDialog::AcceptOpen);
        QVERIFY2(!filters.isEmpty() && filters.first().contains("*.kvx"), qPrintable(filters.join(";")));
        QCOMPARE(h.Cell(4), QString("26.1250"));
        QCOMPARE(h.frame->windowTitle(), kCaption + " - picked");
        QVERIFY(h.prompts.shown.empty());
    }

    void cancellingTheSaveDialogWritesNothing() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.TypeIntoCell(1, "27");
        ModalWatch watch([](QWidget* w) {
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        });
        h.Key(Qt::Key_S, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(watch.Count(), 1, 3000);
        // Only the port settings file is there.
        QCOMPARE(std::distance(std::filesystem::directory_iterator(h.dir.Path()), {}), 1);
        QCOMPARE(h.Cell(1), QString("27.0000"));
        QVERIFY(h.prompts.shown.empty());
    }

    void aboutBoxIsModalAndOnlyCloses() {
        FrameHarness h;
        QVERIFY(h.Ready());
        bool modal = false;
        QStringList labels;
        ModalWatch watch([&](QWidget* w) {
            modal = w->isModal();
            for (QLabel* l : w->findChildren<QLabel*>()) labels << l->text();
            if (auto* d = qobject_cast<QDialog*>(w)) d->accept();
        });
        QMenu* help = h.Menu("&Help");
        QVERIFY(help);
        QCOMPARE(help->actions().last()->text(), QString("&About NUV..."));
        help->actions().last()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(watch.Count(), 1, 3000);
        QVERIFY(modal);
        QVERIFY2(labels.join("|").contains(kCaption), qPrintable(labels.join("|")));
        QVERIFY(h.frame->isVisible());
    }

    // However the window is closed, nothing is asked, and a transfer that
    // was running stops: no more bytes go out and no late timeout appears.
    void closingNeverAsksAndStopsTheTransfer_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Exit button") << "tool:Exit";
        QTest::newRow("menu Exit") << "menu:57665";
        QTest::newRow("close box") << "close";
    }
    void closingNeverAsksAndStopsTheTransfer() {
        QFETCH(QString, how);
        FrameHarness h;
        QVERIFY(h.Ready());
        h.TypeIntoCell(1, "27.5");  // edited, never saved
        h.frame->OnCommand(ID_READ_FROM_RADIO);
        QVERIFY(h.WaitAppBytes(3));
        if (how == "close")
            h.frame->close();
        else
            Give(h, how);
        QVERIFY(h.Wait([&] { return !h.frame->isVisible(); }, 1000));
        const std::size_t sent = h.line->WrittenBytes().size();
        QVERIFY(!h.line->IsConnected());
        QVERIFY(!h.Link().Activity().watchdogWaiting);
        h.Pass(150);
        QCOMPARE(h.line->WrittenBytes().size(), sent);
        QVERIFY2(h.prompts.shown.empty(), qPrintable(h.Messages().join("|")));
    }

    // ---- Keys ----------------------------------------------------------------

    void enterAndEscapeNeverCloseAnything() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.ChooseBandPlan(3);
        ModalWatch dialogs([](QWidget* w) { w->close(); });
        QList<QWidget*> targets{&h.View(), &h.Grid(), h.View().ModeSelect(), h.View().ChannelBox(1)};
        for (QWidget* target : targets) {
            target->setFocus(Qt::OtherFocusReason);
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                h.Key(key);
                QVERIFY2(h.frame->isVisible(), qPrintable(target->objectName()));
            }
        }
        QTest::qWait(50);
        QCOMPARE(dialogs.Count(), 0);
        QVERIFY(h.prompts.shown.empty());
        QCOMPARE(h.ModeText(), QString("South Africa"));

        // In the cell editor the same keys end the edit: Enter keeps the
        // typed value, Escape restores the one before.
        h.TypeIntoCell(3, "27.5", Qt::Key_Return);
        QCOMPARE(h.Cell(3), QString("27.5000"));
        QVERIFY(!h.Grid().Editor());
        h.TypeIntoCell(3, "28", Qt::Key_Escape);
        QVERIFY(!h.Grid().Editor());
        QCOMPARE(h.Cell(3), QString("27.5000"));
        QVERIFY(h.frame->isVisible());
        QVERIFY(h.prompts.shown.empty());
    }

    // ---- Band plan section ---------------------------------------------------

    void channelBoxesBuildTheEmergencyList() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.ChooseBandPlan(3);
        QVERIFY(h.BandControlsEnabled(true, true));
        QVERIFY(h.CheckedBoxes().empty());
        QVERIFY(h.EmgItems().isEmpty());

        h.ClickBox(5);
        h.ClickBox(2);
        QCOMPARE(h.CheckedBoxes(), Ints({2, 5}));
        QCOMPARE(h.EmgItems(), (QStringList{"CH 02", "CH 05"}));
        QCOMPARE(h.EmgShown(), QString("CH 05"));  // the first one ticked, kept since
        h.ClickBox(2);
        QCOMPARE(h.EmgItems(), QStringList{"CH 05"});
        QCOMPARE(h.EmgShown(), QString("CH 05"));

        // Clicks on other boxes keep the channel chosen.
        h.ClickBox(23);
        h.ClickBox(11);
        h.ChooseEmg("CH 23");
        QCOMPARE(h.EmgShown(), QString("CH 23"));
        h.ClickBox(1);
        QCOMPARE(h.EmgItems(), (QStringList{"CH 01", "CH 05", "CH 11", "CH 23"}));
        QCOMPARE(h.EmgShown(), QString("CH 23"));
    }

    void changingTheBandPlanClearsTheForm() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.ChooseBandPlan(3);
        h.ClickBox(4);
        h.ClickBox(9);
        h.TypeIntoCell(1, "26.5");
        h.TypeIntoCell(10, "29.995");
        QCOMPARE(h.Cell(10), QString("29.9950"));

        h.ChooseBandPlan(1);
        QCOMPARE(h.ModeText(), QString("Australian Land CB"));
        QCOMPARE(h.Cells(), QStringList(10, QString()));
        QVERIFY(h.CheckedBoxes().empty());
        QVERIFY(h.EmgItems().isEmpty());
        QVERIFY(h.BandControlsEnabled(true, false));

        h.ChooseBandPlan(3);
        QVERIFY(h.BandControlsEnabled(true, true));
        QVERIFY(h.CheckedBoxes().empty());
        QVERIFY(h.EmgItems().isEmpty());
        QVERIFY(h.prompts.shown.empty());
    }

    // The lists take a choice only: typed letters pick nothing, arrows do.
    void listsIgnoreTypingButFollowArrows() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.TypeIntoCell(2, "27");
        CReadOnlyComboBox* mode = h.View().ModeSelect();
        mode->setFocus(Qt::OtherFocusReason);
        h.Type("NewSouth");  // a space would open the list, as it should
        QCOMPARE(h.ModeText(), QString("Australian Marine"));
        QCOMPARE(h.Cell(2), QString("27.0000"));
        h.Key(Qt::Key_Down);
        QCOMPARE(h.ModeText(), QString("Australian Land CB"));
        QCOMPARE(h.Cell(2), QString());  // a band plan change by key clears like any other
        h.Key(Qt::Key_Down);
        h.Key(Qt::Key_Down);
        QCOMPARE(h.ModeText(), QString("South Africa"));
        QVERIFY(h.BandControlsEnabled(true, true));

        h.ClickBox(1);
        h.ClickBox(7);
        CReadOnlyComboBox* emg = h.View().EmgChannel();
        emg->setFocus(Qt::OtherFocusReason);
        h.Type("C07");
        QCOMPARE(h.EmgShown(), QString("CH 01"));
        h.Key(Qt::Key_Down);
        QCOMPARE(h.EmgShown(), QString("CH 07"));
        QCOMPARE(h.CheckedBoxes(), Ints({1, 7}));
    }

    // The lists change by a choice only: not by the wheel over a closed list,
    // nor by jumps to its ends; and the focus starts in the table.
    void closedListsIgnoreTheWheelAndJumpKeys() {
        FrameHarness h;
        QVERIFY(h.Ready());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&h.Grid()));
        h.ChooseBandPlan(3);
        h.ClickBox(1);
        h.ClickBox(7);
        h.ClickBox(12);
        h.ChooseEmg("CH 07");
        h.TypeIntoCell(2, "27");
        CReadOnlyComboBox* mode = h.View().ModeSelect();
        CReadOnlyComboBox* emg = h.View().EmgChannel();
        for (CReadOnlyComboBox* list : {mode, emg}) {
            QCOMPARE(list->focusPolicy(), Qt::StrongFocus);
            h.Grid().setFocus(Qt::MouseFocusReason);
            for (const int delta : {120, -120, 480, -480}) {
                const QPointF at = list->rect().center();
                QWheelEvent wheel(at, list->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QApplication::sendEvent(list, &wheel);
            }
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&h.Grid()));
            list->setFocus(Qt::TabFocusReason);
            for (const Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_PageUp, Qt::Key_PageDown}) h.Key(key);
        }
        QCOMPARE(h.ModeText(), QString("South Africa"));
        QCOMPARE(h.EmgShown(), QString("CH 07"));
        QCOMPARE(h.Cell(2), QString("27.0000"));
        QCOMPARE(h.CheckedBoxes(), Ints({1, 7, 12}));

        // The arrows, with the list focused, still choose.
        h.Key(Qt::Key_Up);
        QCOMPARE(h.EmgShown(), QString("CH 01"));
        mode->setFocus(Qt::TabFocusReason);
        h.Key(Qt::Key_Down);
        QCOMPARE(h.ModeText(), QString("New Guinea Marine"));
    }

    // A menu takes the focus from a running edit only while it is open: the
    // edit goes on, and a command picked from the menu still finds it.
    void aMenuOpenedDuringAnEditDoesNotEndIt() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.ClickCell(3);
        h.Type("27.5");
        QPointer<CInPlaceEdit> editor = h.Grid().Editor();
        QVERIFY(editor);
        QVERIFY(h.View().Form().View().EditPending());

        // The editor's own context menu, closed again.
        QTimer::singleShot(0, [] {
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        });
        QContextMenuEvent context(QContextMenuEvent::Mouse, editor->rect().center(),
                                  editor->mapToGlobal(editor->rect().center()));
        QApplication::sendEvent(editor, &context);
        QVERIFY(editor);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor.data()));

        // The Program menu, and Read from Radio picked from it.
        QMenu* program = h.Menu("Pr&ogram");
        QVERIFY(program);
        program->popup(h.frame->mapToGlobal(QPoint(40, 20)));
        QTRY_VERIFY(program->isVisible());
        QVERIFY(editor);
        QVERIFY(h.View().Form().View().EditPending());
        QTest::mouseClick(program, Qt::LeftButton, Qt::NoModifier,
                          program->actionGeometry(h.frame->Action(ID_READ_FROM_RADIO)).center());
        QTRY_COMPARE(h.Count(texts::kEditNotFinished), 1);  // answered No: no read
        QVERIFY(editor);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor.data()));
        h.Key(Qt::Key_Return);
        QCOMPARE(h.Cell(3), QString("27.5000"));
        QVERIFY(!h.View().Form().View().IsTableLocked());
    }

    // ---- Files -----------------------------------------------------------------

    void saveThenOpenRestoresTheForm() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.ChooseBandPlan(3);
        h.ClickBox(1);
        h.ClickBox(7);
        h.ClickBox(22);
        h.ChooseEmg("CH 07");
        h.TypeIntoCell(1, "26.965");
        h.TypeIntoCell(2, "30");
        h.TypeIntoCell(6, "27.0025");
        h.TypeIntoCell(10, "26");
        const QStringList cells = h.Cells();
        const std::string path = h.dir.File("round trip.kvx");
        QVERIFY(h.View().SaveFileTo(QString::fromStdString(path)));
        QCOMPARE(h.frame->windowTitle(), kCaption);

        const Bytes b = ReadBytes(path);
        QCOMPARE(int(b.size()), 2048);
        QCOMPARE(int(b[167]), 3);
        QCOMPARE(int(b[168]), 7);
        for (int n = 1; n <= 23; ++n) QCOMPARE(int(b[168 + n]), (n == 1 || n == 7 || n == 22) ? 1 : 0);
        QCOMPARE(int(b[256 + 1]), 0x2A);  // 26.9650 MHz is code 10786
        QCOMPARE(int(b[256 + 2]), 0x22);

        h.ChooseBandPlan(0);
        h.TypeIntoCell(3, "28");
        QVERIFY(h.View().OpenFile(QString::fromStdString(path)));
        QCOMPARE(h.frame->windowTitle(), kCaption + " - round trip");
        QCOMPARE(h.Cells(), cells);
        QCOMPARE(h.ModeText(), QString("South Africa"));
        QVERIFY(h.BandControlsEnabled(true, true));
        QCOMPARE(h.CheckedBoxes(), Ints({1, 7, 22}));
        QCOMPARE(h.EmgItems(), (QStringList{"CH 01", "CH 07", "CH 22"}));
        QCOMPARE(h.EmgShown(), QString("CH 07"));
        QVERIFY(h.prompts.shown.empty());

        // Saving the opened file again changes none of its values but the
        // option flags, which Open clears as a read does; the caption drops
        // the name.
        const std::string again = h.dir.File("again.kvx");
        QVERIFY(h.View().SaveFileTo(QString::fromStdString(again)));
        QCOMPARE(h.frame->windowTitle(), kCaption);
        const Bytes c = ReadBytes(again);
        QStringList differ;
        for (int i = 128; i < 192; ++i)
            if (i != 166 && b[i] != c[i]) differ << QString("%1: %2 -> %3").arg(i).arg(b[i]).arg(c[i]);
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join(", ")));
        QCOMPARE(int(c[166]), 0);
        QVERIFY(std::equal(b.begin() + 256, b.begin() + 366, c.begin() + 256));
    }

    void openOfAnotherBandPlanDisablesTheSection() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.ChooseBandPlan(1);
        h.TypeIntoCell(5, "27.5");
        const std::string path = h.dir.File("landcb.kvx");
        QVERIFY(h.View().SaveFileTo(QString::fromStdString(path)));
        h.ChooseBandPlan(3);
        h.ClickBox(2);
        QVERIFY(h.View().OpenFile(QString::fromStdString(path)));
        QCOMPARE(h.ModeText(), QString("Australian Land CB"));
        QVERIFY(h.BandControlsEnabled(true, false));
        QVERIFY(h.CheckedBoxes().empty());
        QVERIFY(h.EmgItems().isEmpty());
        QCOMPARE(h.Cell(5), QString("27.5000"));
    }

    void openRefusesAFileThatIsNotASettingsFile() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.TypeIntoCell(2, "27.5");
        const std::string path = h.dir.File("notes.kvx");
        WriteBytes(path, Bytes(2048, 0x41));
        QVERIFY(!h.View().OpenFile(QString::fromStdString(path)));
        QCOMPARE(h.Messages(), QStringList{QString::fromUtf8("\"notes.kvx\"는 잘못된 qmd파일입니다.")});
        QCOMPARE(h.frame->windowTitle(), kCaption);
        QCOMPARE(h.Cell(2), QString("27.5000"));
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::MainFrameTest)
#include "MainFrameTest.moc"
