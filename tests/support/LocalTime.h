// Calendar times for tests: a broken-down local time, and the same as a
// calendar time through mktime (daylight saving left to the library).
#pragma once

#include <ctime>

namespace tessaly::testzip {

inline std::tm At(int year, int month, int day, int hour, int minute, int second) {
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    return when;
}

inline std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm when = At(year, month, day, hour, minute, second);
    when.tm_isdst = -1;
    return std::mktime(&when);
}

}  // namespace tessaly::testzip
