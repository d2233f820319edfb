// orvex-window-shot: starts the main window, reads the radio on the
// remembered port, and saves a picture of the window, so a person can look
// at it on a machine without a display (run it under xvfb-run).
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "app/MainFrm.h"
#include "ui/QMView.h"

using namespace orvex;

namespace {

// Answers every message box at once, noting it on stderr.
class NotingPrompter : public IPrompter {
public:
    MsgAnswer Show(const UserMessage& m) override {
        std::fprintf(stderr, "message: %s%s%s\n", m.text.c_str(), m.detail.empty() ? "" : " / ", m.detail.c_str());
        return m.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("orvex-window.png");
    NotingPrompter prompter;
    ViewOptions options;
    options.prompter = &prompter;
    CMainFrame frame(options);
    frame.show();
    int status = 1;
    QTimer::singleShot(600, [&] { frame.OnCommand(ID_READ_FROM_RADIO); });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        CRadioLink& link = frame.View()->Link();
        if (link.Outcome() == TransferOutcome::Running || link.Activity().Busy()) return;
        if (link.Outcome() == TransferOutcome::None) return;
        status = link.Outcome() == TransferOutcome::Completed ? 0 : 1;
        frame.grab().save(out);
        std::printf("%s\n", out.toLocal8Bit().constData());
        app.quit();
    });
    poll.start(100);
    QTimer::singleShot(20000, [&] {
        frame.grab().save(out);
        app.quit();
    });
    app.exec();
    return status;
}
