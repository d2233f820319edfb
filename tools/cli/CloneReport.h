#pragma once
// The record batch programming keeps: one CSV row per radio, appended and
// flushed as soon as the radio is done, so an interrupted batch keeps every
// row written before.
#include <fstream>
#include <string>
#include <string_view>

#include "settings/Problem.h"

namespace orvex::cli {

struct CloneRow {
    std::string time;  // local time, "2026-03-01 14:05:09"
    int radio = 0;     // 1 for the first radio of the batch
    std::string port;
    std::string backup;  // empty when no backup was kept
    std::string result;  // OK, DIFFERS or FAILED
    std::string differences;
};

// The local time now, as the report writes it.
std::string ReportTime();

// The highest number in the radio column of a report's text (0 for none);
// rows whose radio is not a number, the header among them, are passed over.
int HighestRadio(std::string_view csv);

class CloneReport {
public:
    // Opens path for appending (created when missing; the header line goes
    // into a file that is new or empty).
    Outcome<void> Open(const std::string& path);
    bool IsOpen() const { return m_out.is_open(); }
    // The highest radio number of the rows the file held when opened (0 for
    // none): a batch that adds to the report numbers its radios on from it.
    int LastRadio() const { return m_lastRadio; }
    // Appends the row and flushes it.
    Outcome<void> Append(const CloneRow& row);

private:
    std::string m_path;
    std::ofstream m_out;
    int m_lastRadio = 0;
};

}  // namespace orvex::cli
