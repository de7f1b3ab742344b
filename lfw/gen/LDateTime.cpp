#include "lfw/gen/LDateTime.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/utsname.h>

const char* const LDateTime::szMonths[12]
    = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

int gLOSVersionMajor = 0;
int gLOSVersionMinor = 0;

namespace {

int _YearRule(int year)
{
    if (year < 70)
        return 2000 + year;
    if (year < 1900)
        return 1900 + year;
    return year;
}

bool _LocalFields(time_t t, struct tm& fields)
{
    return localtime_r(&t, &fields) != nullptr;
}

} // namespace

void LDateTime::GetDateTime(time_t t, char* date, char* time)
{
    struct tm fields;
    if (t == 0 || !_LocalFields(t, fields)) {
        date[0] = time[0] = '\0';
        return;
    }
    snprintf(date, 32, "%.4d-%.2d-%.2d", fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday);
    snprintf(time, 32, "%.2d:%.2d:%.2d", fields.tm_hour, fields.tm_min, fields.tm_sec);
}

void LDateTime::GetTimeHHHMMHSS(time_t t, char* out)
{
    struct tm fields;
    if (t == 0 || !_LocalFields(t, fields)) {
        out[0] = '\0';
        return;
    }
    snprintf(out, 32, "%.2d-%.2d-%.2d", fields.tm_hour, fields.tm_min, fields.tm_sec);
}

void LDateTime::SetDateTime(time_t& t, const char* date, const char* time)
{
    if (!date || !date[0]) {
        t = 0;
        return;
    }
    int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    sscanf(date, "%d-%d-%d", &year, &month, &day);
    if (time)
        sscanf(time, "%d:%d:%d", &hour, &minute, &second);
    SetDateTime(t, year, month, day, hour, minute, second);
}

void LDateTime::SetDateTime(
    time_t& t, int year, int month, int day, int hour, int minute, int second)
{
    struct tm fields { };
    fields.tm_year = _YearRule(year) - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    time_t made = mktime(&fields);
    if (made == static_cast<time_t>(-1))
        return;
    t = made;
}

int LDateTime::GetNumberOfDaysInMonth(int year, int month)
{
    static const int kDays[12] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (month < 1 || month > 12)
        return 0;
    if (month == 2) {
        bool leap = (year % 400 == 0) || (year % 100 != 0 && year % 4 == 0);
        return leap ? 29 : 28;
    }
    return kDays[month - 1];
}

time_t LDateTime::AdjustByMonths(int months) const
{
    struct tm fields;
    if (!_LocalFields(fValue, fields))
        return fValue;
    int year = fields.tm_year + 1900;
    int month; // 1-12
    long m = static_cast<long>(fields.tm_mon) + months;
    if (m >= 12) {
        year += static_cast<int>(m / 12);
        month = static_cast<int>(m % 12) + 1;
    } else if (m < 0) {
        long rest = -(m + 1);
        year -= static_cast<int>(rest / 12) + 1;
        month = 12 - static_cast<int>(rest % 12);
    } else {
        month = static_cast<int>(m) + 1;
    }
    int days = GetNumberOfDaysInMonth(year, month);
    int day = fields.tm_mday < days ? fields.tm_mday : days;
    time_t result = fValue;
    SetDateTime(result, year, month, day, fields.tm_hour, fields.tm_min, fields.tm_sec);
    return result;
}

time_t LDateTime::BuildDateFromText(const char* text)
{
    char name[4] = {};
    int day = 0, year = 0;
    if (sscanf(text, "%3s %d %d", name, &day, &year) != 3)
        return 0;
    int month = 0;
    for (int i = 0; i < 12; ++i)
        if (strcmp(name, szMonths[i]) == 0)
            month = i + 1;
    time_t t = 0;
    SetDateTime(t, year, month, day, 0, 0, 0);
    return t;
}

time_t LDateTime::GetBuildDate()
{
    return BuildDateFromText(__DATE__);
}

time_t LDateTime::OSReleaseDateFor(int major, int minor)
{
    struct Release {
        int minor, year, month, day;
    };
    static const Release kReleases[]
        = { { 9, 2013, 10, 22 }, { 10, 2014, 10, 16 }, { 11, 2015, 9, 30 }, { 12, 2016, 9, 20 },
              { 13, 2017, 9, 25 }, { 14, 2018, 9, 24 }, { 15, 2019, 10, 7 } };
    if (major == 10) {
        for (const Release& r : kReleases) {
            if (r.minor == minor) {
                time_t t = 0;
                SetDateTime(t, r.year, r.month, r.day, 0, 0, 0);
                return t;
            }
        }
    }
    return 0x7FFFFFFF;
}

time_t LDateTime::OSReleaseDate()
{
    int major, minor;
    LGetOSVersion(major, minor);
    return OSReleaseDateFor(major, minor);
}

void LGetOSVersion(int& major, int& minor)
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct utsname names;
        if (uname(&names) == 0)
            sscanf(names.release, "%d.%d", &gLOSVersionMajor, &gLOSVersionMinor);
    });
    major = gLOSVersionMajor;
    minor = gLOSVersionMinor;
}
