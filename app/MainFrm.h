#pragma once
// The main window: menu, toolbar and status bar around the form; a fixed
// size at the top-left of the screen, sized to the form, or to the screen
// where the form does not fit (it scrolls then).
#include <QMainWindow>
#include <initializer_list>
#include <map>

class QLabel;
class QMenu;
class QToolBar;

namespace orvex {

class CQMView;
struct ViewOptions;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(const ViewOptions& options);
    ~CMainFrame() override;

    CQMView* View() const { return m_view; }
    QToolBar* ToolBar() const { return m_wndToolBar; }
    QAction* Action(int commandId) const;
    QString PortPaneText() const;
    // Runs a command as its menu item, key or button would.
    void OnCommand(int commandId);
    void OnAppAbout();

protected:
    void closeEvent(QCloseEvent* e) override;
    // Files dropped on the window are opened as Open opens them.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    QAction* MakeAction(int id, const QString& text, const QString& prompt);
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateAccelerators();
    // The window's size: the form's, within the screen's free area.
    QSize FittedSize() const;
    // The numbered recent files above E&xit, as the list is now.
    void RefreshRecentFiles();
    // Edit's items enabled as their commands would act now.
    void RefreshEditMenu();
    void RefreshEditItems(std::initializer_list<int> commandIds);

    CQMView* m_view = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    QLabel* m_portPane = nullptr;
    std::map<int, QAction*> m_actions;
    QMenu* m_fileMenu = nullptr;
    QList<QAction*> m_recentActions;  // the entries and the separator after them
};

}  // namespace orvex
