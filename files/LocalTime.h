#pragma once
// The local date and time, read in a thread-safe way and written in the
// program's two shapes: the one people read and the one file names carry.
#include <ctime>
#include <string>

namespace orvex {

struct LocalTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
};

// The local time at t; the epoch's fields when the system cannot tell.
LocalTime LocalTimeAt(std::time_t t);
LocalTime LocalTimeNow();

// t as strftime writes it with format.
std::string FormatLocalTime(const LocalTime& t, const char* format);
// "2026-12-09 22:55:22"
std::string ShownLocalTime(const LocalTime& t);
// "2026-12-09_22-55-22": sorts by time and is a valid file name everywhere.
std::string LocalTimeStamp(const LocalTime& t);

}  // namespace orvex
