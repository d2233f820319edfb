// orvex: the desktop application.
#include <QApplication>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/MainFrm.h"
#include "app/QMDoc.h"
#include "orvex/Version.h"
#include "ui/QMView.h"

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

enum class Request { Run, Help, Version, Wrong };

struct CommandLine {
    Request request = Request::Run;
    std::string wrong;               // the option not understood
    std::vector<std::string> files;  // as given: the bytes the file calls take
};

// Read from the arguments the toolkit has left; with none of its options
// in them, also before it starts, so --help needs no display.
CommandLine Parse(int argc, char** argv) {
    CommandLine line;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "-h" || a == "--help")) {
            line.request = Request::Help;
            return line;
        } else if (options && (a == "-v" || a == "--version")) {
            line.request = Request::Version;
            return line;
        } else if (options && a.size() > 1 && a.front() == '-') {
            if (line.request == Request::Run) {
                line.request = Request::Wrong;
                line.wrong = a;
            }
        } else {
            line.files.emplace_back(a);
        }
    }
    return line;
}

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
        // Help and version are answered before the toolkit looks for a
        // display. Other options wait for it: some are its own.
        const CommandLine early = Parse(argc, argv);
        if (early.request == Request::Help) return Print(kHelp, stdout);
        if (early.request == Request::Version) return Print("orvex " + std::string(kVersion) + "\n", stdout);

        QApplication app(argc, argv);  // takes its own options out of argv
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
        CommandLine line = Parse(argc, argv);
        if (line.request == Request::Wrong) {
            Print("orvex: unknown option " + line.wrong + "\nTry 'orvex --help'.\n", stderr);
            return 2;
        }
#ifdef _WIN32
        // The narrow arguments are in the ANSI code page; the file calls
        // take UTF-8, which the toolkit's own list gives.
        line.files.clear();
        bool options = true;
        for (const QString& a : QCoreApplication::arguments().mid(1)) {
            if (options && a == "--") options = false;
            else if (!options || !a.startsWith('-') || a == "-") line.files.push_back(a.toStdString());
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
