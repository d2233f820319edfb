#include "files/LocalTime.h"

namespace orvex {

LocalTime LocalTimeAt(std::time_t t) {
    std::tm out{};
    // The reentrant forms: std::localtime shares one result between threads.
#ifdef _WIN32
    if (::localtime_s(&out, &t) != 0) return {};
#else
    if (!::localtime_r(&t, &out)) return {};
#endif
    return {out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec};
}

LocalTime LocalTimeNow() { return LocalTimeAt(std::time(nullptr)); }

std::string FormatLocalTime(const LocalTime& t, const char* format) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    char text[128];
    const std::size_t n = std::strftime(text, sizeof text, format, &tm);
    return std::string(text, n);
}

std::string ShownLocalTime(const LocalTime& t) { return FormatLocalTime(t, "%Y-%m-%d %H:%M:%S"); }

std::string LocalTimeStamp(const LocalTime& t) { return FormatLocalTime(t, "%Y-%m-%d_%H-%M-%S"); }

}  // namespace orvex
