#pragma once
// A form and a radio link as the desktop application has them, driven from
// the command line on a real-time event loop.
#include <memory>
#include <string>

#include "files/BackupStore.h"
#include "link/EventLoop.h"
#include "link/PortMap.h"
#include "link/RadioLink.h"
#include "tools/cli/CliCommon.h"
#include "ui/model/FormModel.h"
#include "ui/model/ReadBackups.h"

namespace orvex::cli {

class CliSession : private IFormObserver {
public:
    // port: a device path, "COMn", or empty for the remembered port.
    explicit CliSession(const std::string& port);
    ~CliSession() override;

    FormModel& Form() { return m_form; }
    CRadioLink& Link() { return *m_link; }
    EventLoop& Loop() { return m_loop; }
    // The COM numbers as this run sees them, refreshed on each use.
    PortMap& Ports() { return *m_ports; }
    // The identity line a port found would be remembered with.
    std::string IdentityOf(int comNumber) const;
    // Runs the loop until the link is idle and its watchdog has ended.
    void RunUntilSettled();
    // From now on every confirmed read is kept in the user's backup folder,
    // the news of it on stderr.
    void KeepBackups();
    // Null until KeepBackups().
    ReadBackups* Backups() { return m_backups.get(); }

private:
    void OnFormChanged(unsigned changes) override;
    void DrawProgress();

    PortSettingsRead m_remembered = ReadPortSettings(PortSettingsPath());
    std::shared_ptr<PortMap> m_ports = std::make_shared<PortMap>(PortMap::FromSystem(nullptr, &m_remembered));
    StderrPrompter m_prompter;
    FormModel m_form;
    EventLoop m_loop;
    std::unique_ptr<CRadioLink> m_link;
    std::unique_ptr<BackupStore> m_backupStore;
    std::unique_ptr<ReadBackups> m_backups;
    bool m_tty = false;
    int m_drawn = -1;
};

}  // namespace orvex::cli
