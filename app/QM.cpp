// orvex: the desktop application.
#include <QApplication>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "app/MainFrm.h"
#include "app/QMDoc.h"
#include "orvex/Version.h"
#include "ui/QMView.h"
#include "ui/model/FormTexts.h"

namespace orvex {
namespace {

// Also the source of the manual page, which is made from this text: a
// usage line, a description, then indented option lines.
constexpr std::string_view kHelp =
    "Usage: orvex [OPTIONS] [FILE...]\n"
    "Reads, edits and writes the settings of an ORVEX 27 MHz radio through its\n"
    "serial programming cable, and keeps them in .kvx settings files.\n"
    "\n"
    "Options:\n"
    "  -h, --help       show this help and exit\n"
    "  -v, --version    show the version and exit\n"
    "  --               end of options: what follows is a FILE even if it\n"
    "                   begins with '-'\n"
    "\n"
    "FILE is a .kvx settings file, opened once the window is up as File > Open\n"
    "opens it; a file that is refused is named in a message and the window\n"
    "starts with the default settings. Only the first FILE is opened; the\n"
    "others are named in a message. Opened and saved files are listed in the\n"
    "File menu's recent files.\n"
    "\n"
    "Qt's standard options (such as -platform NAME or -style NAME) are\n"
    "also accepted.\n";

// The caption names the version the build is given.
static_assert(texts::kCaption.ends_with(kVersion));

int Print(std::string_view text, std::FILE* to) {
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
    return std::ferror(to) ? 1 : 0;
}

}  // namespace

// The application object: start-up and the main window.
class CQMApp {
public:
    int Run(int argc, char** argv) {
        // Answered before the toolkit looks for a display, which it would
        // abort without.
        CommandLine line = ParseCommandLine(argc, argv);
        if (line.request == Request::Help) return Print(kHelp, stdout);
        if (line.request == Request::Version) return Print("orvex " + std::string(kVersion) + "\n", stdout);
        if (line.request == Request::Wrong) {
            Print("orvex: unknown option " + line.wrong + "\nTry 'orvex --help'.\n", stderr);
            return 2;
        }

        QApplication app(argc, argv);
        // The name alone also titles the message boxes. A display name would
        // be appended to the caption by some window systems
        // ("... Ver 1.1.2 — ORVEX"), and the caption is the program's own.
        QApplication::setApplicationName("ORVEX");
        QApplication::setApplicationVersion(QString::fromLatin1(kVersion.data(), static_cast<int>(kVersion.size())));
        // Wayland matches the window to the desktop file by this name, for
        // its icon and its entry in the task list.
        QGuiApplication::setDesktopFileName(
            QString::fromLatin1(kDesktopFileName.data(), static_cast<int>(kDesktopFileName.size())));
        // Numbers in files and texts never follow the desktop's locale.
        std::setlocale(LC_NUMERIC, "C");
#ifdef _WIN32
        // The narrow arguments are in the ANSI code page; the file calls
        // take UTF-8, which the toolkit's own list gives.
        line.files.clear();
        bool optionsMayFollow = true;
        for (const QString& a : QCoreApplication::arguments().mid(1)) {
            if (optionsMayFollow && a == "--") optionsMayFollow = false;
            else if (!optionsMayFollow || !a.startsWith('-') || a == "-") line.files.push_back(a.toStdString());
        }
#endif
        ViewOptions options;
        CMainFrame frame(options);
        frame.show();
        // Once the window is up, so a refusal's message has it to sit over.
        if (!line.files.empty())
            QTimer::singleShot(0, &frame, [&frame, files = line.files] { frame.View()->OpenFiles(files); });
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
