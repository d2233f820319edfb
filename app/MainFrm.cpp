#include "app/MainFrm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "app/AboutDlg.h"
#include "link/LinkTexts.h"
#include "ui/QMView.h"
#include "ui/model/FormTexts.h"

namespace orvex {
namespace {

// Prompts in the status bar; the part after "\n" is the button's tip.
struct Prompt {
    int id;
    const char* text;
};
constexpr Prompt kPrompts[] = {
    {ID_READ_FROM_RADIO, "Upload the active data"},
    {ID_TOOLBAR_UPLOAD, "Upload the active data"},
    {ID_WRITE_TO_RADIO, "Download the active data"},
    {ID_TOOLBAR_DOWNLOAD, "Download the active data"},
    {ID_TOOLBAR_EXIT, "Close the active program Exit"},
    {ID_AUTO_SEARCH, "ComPort to search for."},
    {ID_AUTO_STOP, "ComPort to stop for."},
    {ID_PORT_LIST, "The serial ports and what is behind them; choose the one to remember."},
    {ID_CONNECTION_CHECK, "Checks the cable's port and line, and says how to mend what is wrong."},
    {ID_FILE_OPEN_BACKUP, "Open a backup of what a radio held before it was written"},
    {ID_FILE_COMPARE, "List the settings in which the form and a file differ"},
    {ID_FILE_IMPORT_CHANNELS, "Take the ten channels from a CSV file (Channel,Frequency), as a spreadsheet saves it"},
    {ID_FILE_EXPORT_CHANNELS, "Save the ten channels as a CSV file (Channel,Frequency) for a spreadsheet"},
    {ID_FILE_RESTORE_EDITS, "Bring back the unsaved edits left when the program was last closed"},
    {ID_WRITE_AND_VERIFY, "Download the active data, read it back and compare; the radio's settings are kept first"},
    {ID_EDIT_UNDO, "Take back the last change to the form\nUndo"},
    {ID_EDIT_REDO, "Make the change taken back again\nRedo"},
    {ID_EDIT_CUT, "Copy the selected frequencies and clear them\nCut"},
    {ID_EDIT_COPY, "Copy the selected frequencies\nCopy"},
    {ID_EDIT_PASTE, "Put the copied frequencies into the table, from the selected cell on\nPaste"},
    {ID_EDIT_CLEAR, "Clear the selected frequencies\nDelete"},
    {ID_FILE_NEW, "Create a new document\nNew"},
    {ID_FILE_OPEN, "Open an existing document\nOpen"},
    {ID_FILE_SAVE, "Save the active document\nSave"},
    {ID_FILE_PRINT, "Print the active document\nPrint"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
};

QString PromptOf(int id) {
    for (const Prompt& p : kPrompts)
        if (p.id == id) return QString::fromLatin1(p.text);
    return {};
}

struct PromptParts {
    QString status;
    std::optional<QString> tip;  // none when the prompt has no "\n"
};

PromptParts SplitPrompt(const QString& prompt) {
    const QStringList parts = prompt.split('\n');
    return {parts.value(0), parts.size() > 1 ? std::optional<QString>(parts.value(1)) : std::nullopt};
}

// Exactly as large as the form where the screen has room for it.
class FormScroller final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        if (!widget()) return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        return widget()->size() + QSize(frame, frame);
    }
};

// 65 x 38, or more where the desktop's font needs it: the style draws the
// text under the icon inside its frame and elides what does not fit.
QSize ButtonSize(const QToolButton& b) {
    const int frame = b.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &b);
    const QFontMetrics fm = b.fontMetrics();
    const int w = fm.horizontalAdvance(b.text()) + 2 * frame + 2;
    const int h = b.iconSize().height() + 4 + fm.height() + 2 * frame;
    return QSize(w, h).expandedTo(QSize(65, 38));
}

}  // namespace

CMainFrame::CMainFrame(const ViewOptions& options) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    m_view = new CQMView(options, this);
    // The form keeps its size; where the screen is smaller (large scales,
    // small screens) it scrolls inside the window instead of being cut.
    auto* scroller = new FormScroller(this);
    scroller->setObjectName("FormScroller");
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setFocusPolicy(Qt::NoFocus);  // the form's controls take the focus, not their frame
    scroller->setWidget(m_view);
    setCentralWidget(scroller);
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateAccelerators();
    connect(m_view, &CQMView::captionChanged, this, &QWidget::setWindowTitle);
    connect(m_view, &CQMView::portPaneChanged, this, [this](const QString& text) { m_portPane->setText(text); });
    connect(m_view, &CQMView::closeRequested, this, &QWidget::close);
    connect(m_view, &CQMView::recentFilesChanged, this, &CMainFrame::RefreshRecentFiles);
    setAcceptDrops(true);
    setWindowTitle(QString::fromLatin1(texts::kCaption.data(), static_cast<int>(texts::kCaption.size())));
    m_view->OnInitialUpdate();
    // Typing goes to the channel table first, not to a list it could change.
    if (QWidget* grid = m_view->Grid()) grid->setFocus(Qt::OtherFocusReason);
    // Sized to the form and fixed: the window cannot be resized or maximised.
    adjustSize();
    setFixedSize(FittedSize());
    move(screen() ? screen()->availableGeometry().topLeft() : QPoint(0, 0));
}

QSize CMainFrame::FittedSize() const {
    const QScreen* shown = screen();
    if (!shown) return sizeHint();
    // The window manager's frame is known once the window is shown; before
    // that the style's title bar stands in for it.
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.width() <= 0 && frame.height() <= 0) frame = QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
    return sizeHint().boundedTo(shown->availableGeometry().size() - frame);
}

void CMainFrame::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    // Fitted again each time it is shown: the real frame may differ from the
    // estimate, and the screen may be another one.
    QMetaObject::invokeMethod(
        this, [this] {
            const QSize fitted = FittedSize();
            if (fitted != size()) setFixedSize(fitted);
        },
        Qt::QueuedConnection);
}

CMainFrame::~CMainFrame() {
    // The view goes with the window's children, after this part of the
    // window: what it says while it goes (a cell edit ending) must not
    // reach it.
    disconnect(m_view, nullptr, this, nullptr);
}

QAction* CMainFrame::MakeAction(int id, const QString& text, const QString& prompt) {
    auto* action = new QAction(text, this);
    const PromptParts parts = SplitPrompt(prompt);
    action->setStatusTip(parts.status);
    action->setToolTip(parts.tip.value_or(text));
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions[id] = action;
    return action;
}

QAction* CMainFrame::Action(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::OnCommand(int id) {
    if (id == ID_APP_ABOUT) return OnAppAbout();
    if (id == ID_APP_EXIT) {
        close();
        return;
    }
    m_view->OnCmdMsg(id);
}

void CMainFrame::CreateMenus() {
    // Every menu and item has a mnemonic, so the keyboard alone reaches them.
    QMenu* file = m_fileMenu = menuBar()->addMenu("&File");
    file->addAction(MakeAction(ID_FILE_OPEN, "&Open...", PromptOf(ID_FILE_OPEN)));
    file->addAction(MakeAction(ID_FILE_OPEN_BACKUP, "Open &Backup...", PromptOf(ID_FILE_OPEN_BACKUP)));
    file->addAction(MakeAction(ID_FILE_COMPARE, "&Compare with File...", PromptOf(ID_FILE_COMPARE)));
    file->addAction(MakeAction(ID_FILE_IMPORT_CHANNELS, "&Import Channels...", PromptOf(ID_FILE_IMPORT_CHANNELS)));
    file->addAction(MakeAction(ID_FILE_EXPORT_CHANNELS, "&Export Channels...", PromptOf(ID_FILE_EXPORT_CHANNELS)));
    file->addAction(MakeAction(ID_FILE_SAVE, "&Save", PromptOf(ID_FILE_SAVE)));
    file->addAction(MakeAction(ID_FILE_RESTORE_EDITS, "&Restore Unsaved Edits", PromptOf(ID_FILE_RESTORE_EDITS)));
    file->addSeparator();
    file->addAction(MakeAction(ID_APP_EXIT, "E&xit", PromptOf(ID_APP_EXIT)));
    // The keys shown are the accelerators' (CreateAccelerators; Del is the
    // table's own): they work whatever the menu's state, and each command
    // refuses what it cannot do.
    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addAction(MakeAction(ID_EDIT_UNDO, "&Undo\tCtrl+Z", PromptOf(ID_EDIT_UNDO)));
    edit->addAction(MakeAction(ID_EDIT_REDO, "&Redo\tCtrl+Y", PromptOf(ID_EDIT_REDO)));
    edit->addSeparator();
    edit->addAction(MakeAction(ID_EDIT_CUT, "Cu&t\tCtrl+X", PromptOf(ID_EDIT_CUT)));
    edit->addAction(MakeAction(ID_EDIT_COPY, "&Copy\tCtrl+C", PromptOf(ID_EDIT_COPY)));
    edit->addAction(MakeAction(ID_EDIT_PASTE, "&Paste\tCtrl+V", PromptOf(ID_EDIT_PASTE)));
    edit->addAction(MakeAction(ID_EDIT_CLEAR, "&Delete\tDel", PromptOf(ID_EDIT_CLEAR)));
    // Undo and Redo follow the form; the typing in a cell, the table's
    // selection and the clipboard change unannounced: all are looked at
    // again as the menu opens.
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::RefreshEditMenu);
    connect(m_view, &CQMView::undoStateChanged, this, [this] { RefreshEditItems({ID_EDIT_UNDO, ID_EDIT_REDO}); });
    QMenu* program = menuBar()->addMenu("Pr&ogram");
    program->addAction(MakeAction(ID_READ_FROM_RADIO, "&Read from Radio", PromptOf(ID_READ_FROM_RADIO)));
    program->addAction(MakeAction(ID_WRITE_TO_RADIO, "&Write to Radio", PromptOf(ID_WRITE_TO_RADIO)));
    program->addAction(MakeAction(ID_WRITE_AND_VERIFY, "Write and &Verify", PromptOf(ID_WRITE_AND_VERIFY)));
    QMenu* port = menuBar()->addMenu("&Select Port");
    port->addAction(MakeAction(ID_AUTO_SEARCH, "&Auto Search", PromptOf(ID_AUTO_SEARCH)));
    port->addAction(MakeAction(ID_AUTO_STOP, "Auto S&top", PromptOf(ID_AUTO_STOP)));
    port->addAction(MakeAction(ID_PORT_LIST, "&Port List...", PromptOf(ID_PORT_LIST)));
    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(MakeAction(ID_CONNECTION_CHECK, "&Connection Check...", PromptOf(ID_CONNECTION_CHECK)));
    help->addAction(MakeAction(ID_APP_ABOUT, "&About NUV...", QString()));
    Action(ID_FILE_OPEN)->setShortcut(QKeySequence("Ctrl+O"));
    Action(ID_FILE_SAVE)->setShortcut(QKeySequence("Ctrl+S"));
    Action(ID_READ_FROM_RADIO)->setShortcut(QKeySequence("Ctrl+R"));
    Action(ID_WRITE_TO_RADIO)->setShortcut(QKeySequence("Ctrl+W"));
    Action(ID_WRITE_AND_VERIFY)->setShortcut(QKeySequence("Ctrl+Shift+W"));
    // Only while an earlier session's edits wait to be brought back.
    Action(ID_FILE_RESTORE_EDITS)->setEnabled(m_view->RecoveryPending());
    connect(m_view, &CQMView::recoveryPendingChanged, Action(ID_FILE_RESTORE_EDITS), &QAction::setEnabled);
    // Another window may have opened a file since.
    connect(file, &QMenu::aboutToShow, this, &CMainFrame::RefreshRecentFiles);
    RefreshRecentFiles();
    RefreshEditMenu();
}

void CMainFrame::RefreshEditMenu() {
    RefreshEditItems({ID_EDIT_UNDO, ID_EDIT_REDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_CLEAR});
}

void CMainFrame::RefreshEditItems(std::initializer_list<int> ids) {
    for (const int id : ids)
        if (QAction* a = Action(id)) a->setEnabled(m_view->EditCommandEnabled(id));
}

void CMainFrame::RefreshRecentFiles() {
    for (QAction* a : std::as_const(m_recentActions)) {
        m_fileMenu->removeAction(a);
        a->deleteLater();
    }
    m_recentActions.clear();
    const std::vector<std::string> entries = m_view->RecentFileList();
    if (entries.empty()) return;
    QAction* exit = Action(ID_APP_EXIT);
    int n = 0;
    for (const std::string& path : entries) {
        const QString shown = QFile::decodeName(QByteArray::fromStdString(path));
        QString name = QFileInfo(shown).fileName();
        auto* a = new QAction(QString("&%1 %2").arg(++n).arg(name.replace('&', "&&")), this);
        a->setStatusTip(shown);
        connect(a, &QAction::triggered, this, [this, path] { m_view->OpenRecentFile(path); });
        m_fileMenu->insertAction(exit, a);
        m_recentActions << a;
    }
    m_recentActions << m_fileMenu->insertSeparator(exit);
}

void CMainFrame::CreateToolBar() {
    m_wndToolBar = addToolBar("Standard");
    m_wndToolBar->setObjectName("ToolBar");
    m_wndToolBar->setMovable(false);
    m_wndToolBar->setFloatable(false);
    m_wndToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_wndToolBar->setIconSize(QSize(16, 16));
    QStyle* st = style();
    struct Button {
        int id;
        const char* text;
        QStyle::StandardPixmap icon;
    };
    const Button buttons[] = {
        {ID_FILE_NEW, "New File", QStyle::SP_FileIcon},
        {ID_FILE_OPEN, "Open File", QStyle::SP_DialogOpenButton},
        {ID_FILE_SAVE, "Save File", QStyle::SP_DialogSaveButton},
        {0, nullptr, {}},
        {ID_FILE_PRINT, "Print", QStyle::SP_FileDialogDetailedView},
        {0, nullptr, {}},
        {ID_TOOLBAR_UPLOAD, "Uplaod", QStyle::SP_ArrowUp},
        {ID_TOOLBAR_DOWNLOAD, "Download", QStyle::SP_ArrowDown},
        {0, nullptr, {}},
        {ID_TOOLBAR_EXIT, "Exit", QStyle::SP_DialogCloseButton},
    };
    for (const Button& b : buttons) {
        if (!b.text) {
            m_wndToolBar->addSeparator();
            continue;
        }
        // The toolbar has its own actions for the shared commands, so its
        // texts can differ from the menu's.
        QAction* action = new QAction(st->standardIcon(b.icon), b.text, this);
        const PromptParts parts = SplitPrompt(PromptOf(b.id));
        action->setStatusTip(parts.status);
        const bool hasTip = parts.tip && !parts.tip->isEmpty();
        action->setToolTip(parts.tip.value_or(QString()));
        const int id = b.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        m_actions.emplace(id + 100000, action);  // the button's own action
        m_wndToolBar->addAction(action);
        if (auto* button = qobject_cast<QToolButton*>(m_wndToolBar->widgetForAction(action))) {
            button->setFixedSize(ButtonSize(*button));
            // An empty tip would fall back to the button's text: only a
            // prompt with a tip part gets one.
            if (!hasTip) button->installEventFilter(this);
        }
        // Print has no handler anywhere, so its button stays disabled.
        if (id == ID_FILE_PRINT) action->setEnabled(false);
    }
}

void CMainFrame::CreateStatusBar() {
    menuBar()->setAccessibleName("Menu bar");
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);
    // The bar paints its prompts: a screen reader gets them as its description.
    bar->setAccessibleName("Status bar");
    connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& m) { bar->setAccessibleDescription(m.trimmed()); });
    bar->showMessage(" ");
    m_portPane = new QLabel(this);
    m_portPane->setObjectName("PortPane");
    // 200 pixels, or what the longest port text needs in the desktop's font.
    const QString widest = QString::asprintf(std::string(texts::kPortPaneFormat).c_str(), 256);
    m_portPane->setFixedWidth(std::max(200, m_portPane->fontMetrics().horizontalAdvance(widest) + 4));
    bar->addPermanentWidget(m_portPane);
    for (const char* lock : {"CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(lock, this);
        pane->setEnabled(false);  // the lock states are not readable on every platform
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addPermanentWidget(pane);
    }
}

void CMainFrame::CreateAccelerators() {
    struct Accel {
        const char* keys;
        int id;
    };
    const Accel accels[] = {
        {"Ctrl+N", ID_FILE_NEW},       {"Ctrl+P", ID_FILE_PRINT},    {"Ctrl+C", ID_EDIT_COPY},
        {"Ctrl+Ins", ID_EDIT_COPY},    {"Ctrl+X", ID_EDIT_CUT},      {"Shift+Del", ID_EDIT_CUT},
        {"Ctrl+V", ID_EDIT_PASTE},     {"Shift+Ins", ID_EDIT_PASTE}, {"Ctrl+Z", ID_EDIT_UNDO},
        {"Alt+Backspace", ID_EDIT_UNDO}, {"Ctrl+Y", ID_EDIT_REDO},   {"Ctrl+Shift+Z", ID_EDIT_REDO},
        {"F6", ID_NEXT_PANE},          {"Shift+F6", ID_PREV_PANE},
    };
    for (const Accel& a : accels) {
        auto* shortcut = new QShortcut(QKeySequence(a.keys), this);
        const int id = a.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { OnCommand(id); });
    }
}

QString CMainFrame::PortPaneText() const { return m_portPane->text(); }

void CMainFrame::OnAppAbout() {
    CAboutDlg about(this);
    about.exec();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::ToolTip) return true;  // only tip-less buttons are watched
    return QMainWindow::eventFilter(watched, e);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
    // Refused where Open would be: the pointer shows it before the drop.
    if (e->mimeData()->hasUrls() && m_view->MayTakeDrop()) e->acceptProposedAction();
    else e->ignore();
}

void CMainFrame::dragMoveEvent(QDragMoveEvent* e) {
    // A transfer may have started since the drag came in.
    if (e->mimeData()->hasUrls() && m_view->MayTakeDrop()) e->acceptProposedAction();
    else e->ignore();
}

void CMainFrame::dropEvent(QDropEvent* e) {
    if (!e->mimeData()->hasUrls() || !m_view->MayTakeDrop()) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    // After the drop has ended: a message box shown inside it would hold up
    // the program the files were dragged from until it is closed.
    QMetaObject::invokeMethod(
        this, [this, urls = e->mimeData()->urls()] { m_view->OpenDropped(urls); }, Qt::QueuedConnection);
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    // The document is never modified: closing never asks.
    m_view->Link().StopTransfer();
    e->accept();
}

}  // namespace orvex
