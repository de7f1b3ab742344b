// Dates and times in local time.
//
// A date-time value is a time_t (seconds since 1970 UTC); 0 stands for no date. Conversions use
// local time (localtime_r, and mktime with daylight saving left to the system).
//
// Years given by a caller or read from text follow one rule: below 70 means 2000 + year, 70 to
// 1899 means 1900 + year, 1900 and above is the year itself.
#pragma once

#include <ctime>

class LDateTime {
public:
    LDateTime() = default;
    explicit LDateTime(time_t value)
        : fValue(value)
    {
    }

    time_t GetValue() const { return fValue; }
    void SetValue(time_t value) { fValue = value; }

    // "%.4d-%.2d-%.2d" and "%.2d:%.2d:%.2d" (each buffer at least 32 bytes); empty texts for 0.
    static void GetDateTime(time_t t, char* date, char* time);
    // The local time as "%.2d-%.2d-%.2d" (for file names); empty for 0.
    static void GetTimeHHHMMHSS(time_t t, char* out);
    // Reads date "%d-%d-%d" (year, month, day) and time "%d:%d:%d"; fields missing from the text
    // keep 2000-01-01 00:00:00. An empty date gives 0. Unchanged when the time cannot be made.
    static void SetDateTime(time_t& t, const char* date, const char* time);
    // From fields (month 1-12; out-of-range values are normalised, month 0 is December of the
    // year before). Unchanged when the time cannot be made.
    static void SetDateTime(
        time_t& t, int year, int month, int day, int hour, int minute, int second);
    // 28 to 31 by the Gregorian rule; 0 for a month outside 1-12.
    static int GetNumberOfDaysInMonth(int year, int month);
    // The same local time of day, months later (earlier for a negative count), the day clamped
    // to the target month's length.
    time_t AdjustByMonths(int months) const;

    // Local midnight of the day the program was compiled.
    static time_t GetBuildDate();
    // The same from a compiler date text ("Mmm dd yyyy"); a month name not in szMonths gives
    // month 0 (December of the year before).
    static time_t BuildDateFromText(const char* text);

    // The release date (local midnight) of a system version, or 0x7FFFFFFF (far in the future)
    // for a version the table does not know.
    static time_t OSReleaseDateFor(int major, int minor);
    // The same for the running system.
    static time_t OSReleaseDate();

    static const char* const szMonths[12];

private:
    time_t fValue = 0;
};

// The running system's version, read once (kernel release numbers here).
extern int gLOSVersionMajor;
extern int gLOSVersionMinor;
void LGetOSVersion(int& major, int& minor);
