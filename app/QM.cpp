// orvex: the desktop application.
#include <QApplication>
#include <QCommandLineParser>
#include <clocale>

#include "app/MainFrm.h"
#include "app/QMDoc.h"
#include "ui/QMView.h"

namespace orvex {

// The application object: start-up and the main window.
class CQMApp {
public:
    int Run(int argc, char** argv) {
        QApplication app(argc, argv);
        // The name alone also titles the message boxes. A display name would
        // be appended to the caption by some window systems
        // ("... Ver 1.1.2 — ORVEX"), and the caption is the program's own.
        QApplication::setApplicationName("ORVEX");
        QApplication::setApplicationVersion("1.1.2");
        // Numbers in files and texts never follow the desktop's locale.
        std::setlocale(LC_NUMERIC, "C");
        QCommandLineParser parser;
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addPositionalArgument("file", "Ignored: the settings are opened with File > Open.");
        parser.process(app);
        ViewOptions options;
        CMainFrame frame(options);
        frame.show();
        return app.exec();
    }

private:
    CQMDoc m_doc;
};

}  // namespace orvex

int main(int argc, char** argv) {
    orvex::CQMApp theApp;
    return theApp.Run(argc, argv);
}
