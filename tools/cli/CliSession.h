#pragma once
// A form and a radio link as the desktop application has them, driven from
// the command line on a real-time event loop.
#include <memory>
#include <string>

#include "files/UserFolders.h"
#include "link/EventLoop.h"
#include "tools/cli/CliCommon.h"
#include "ui/model/FormModel.h"
#include "ui/model/RadioSession.h"

namespace orvex::cli {

class CliSession : private IFormObserver {
public:
    // port: a device path, "COMn", or empty for the remembered port.
    explicit CliSession(const std::string& port);
    ~CliSession() override;

    FormModel& Form() { return m_form; }
    CRadioLink& Link() { return m_session->Link(); }
    // Probes the ports the map numbers now; a port found is remembered.
    CPortSearch& Search() { return m_session->Search(); }
    RadioSession& Session() { return *m_session; }
    EventLoop& Loop() { return m_loop; }
    // Runs the loop until the link is idle and its watchdog has ended.
    void RunUntilSettled();
    // From now on every confirmed read is kept in the user's backup folder,
    // the news of it on stderr.
    void KeepBackups();
    // Null until KeepBackups().
    ReadBackups* Backups() { return m_session->ReadKeeping(); }

private:
    void OnFormChanged(unsigned changes) override;
    void DrawProgress();

    StderrPrompter m_prompter;
    FormModel m_form;
    EventLoop m_loop;
    SystemUserFolders m_folders;
    std::unique_ptr<RadioSession> m_session;
    bool m_tty = false;
    int m_drawn = -1;
};

}  // namespace orvex::cli
