#pragma once
// The main window: menu, toolbar and status bar around the form; a fixed
// size at the top-left of the screen, sized to the form.
#include <QMainWindow>
#include <map>

class QLabel;
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
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QAction* MakeAction(int id, const QString& text, const QString& prompt);
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateAccelerators();

    CQMView* m_view = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    QLabel* m_portPane = nullptr;
    std::map<int, QAction*> m_actions;
};

}  // namespace orvex
