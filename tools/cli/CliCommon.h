#pragma once
// Shared pieces of the orvex-cli subcommands.
#include <string>
#include <vector>

#include "settings/UserMessage.h"

namespace orvex::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Messages go to stderr: the system's text, then the context line.
class StderrPrompter : public IPrompter {
public:
    MsgAnswer Show(const UserMessage& message) override;
    int Count() const { return m_count; }

private:
    int m_count = 0;
};

using Args = std::vector<std::string>;

int CmdNew(const Args& args);
int CmdShow(const Args& args);
int CmdResave(const Args& args);
int CmdRead(const Args& args);
int CmdWrite(const Args& args);
int CmdPorts(const Args& args);
int CmdSearch(const Args& args);
int CmdDoctor(const Args& args);
int CmdClone(const Args& args);
int CmdBackups(const Args& args);
int CmdDiff(const Args& args);
int CmdExport(const Args& args);
int CmdImport(const Args& args);

int UsageError(const std::string& what);

}  // namespace orvex::cli
