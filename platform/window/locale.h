#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "platform/byte_string.h"

namespace platform {

// What the time stamp needs of the user's locale. The defaults are what is used when
// the locale cannot be read. Texts are code page 437 bytes, as the history shows them.
struct LocaleTimeSettings {
    ByteString ShortDatePicture = "m/d/yy";  // d dd ddd dddd m mm mmm mmmm yy yyyy, / = separator
    char DateSeparator = '/';
    char TimeSeparator = ':';
    char DecimalSeparator = '.';  // before the milliseconds
    ByteString DigitGroupSeparator = ",";  // between groups of three digits of a count; "" for none
    bool HourLeadingZero = false;
    bool TwelveHour = true;
    bool MarkerFirst = false;  // "PM 3:04:05" rather than "3:04:05 PM"
    ByteString AmMarker = "am";
    ByteString PmMarker = "pm";
    std::array<ByteString, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<ByteString, 7> LongDayNames{"Sunday", "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};
    std::array<ByteString, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<ByteString, 12> LongMonthNames{"January", "February", "March", "April",
                                              "May", "June", "July", "August",
                                              "September", "October", "November", "December"};
};

// A count as the locale writes it: "1,048,576".
ByteString GroupDigits(uint64_t value, const ByteString& separator);

// The strftime patterns a locale gives (D_FMT, T_FMT, T_FMT_AMPM) as picture and flags.
void TranslateDateFormat(const std::string& dateFormat, LocaleTimeSettings& settings);
void TranslateTimeFormat(const std::string& timeFormat, const std::string& timeFormatAmPm,
                         LocaleTimeSettings& settings);

// The LC_TIME settings of the named locale; "" reads the process's environment
// (LC_ALL, LC_TIME, LANG). A locale that cannot be loaded gives the defaults.
LocaleTimeSettings ReadLocaleTimeSettings(const std::string& localeName = "");

// Calendar fields of a moment in local time.
struct LocalDateTime {
    int Year = 1970, Month = 1, Day = 1;  // Month 1..12
    int DayOfWeek = 4;                    // 0 = Sunday
    int Hour = 0, Minute = 0, Second = 0;
    int Millisecond = 0;
};
LocalDateTime ToLocalDateTime(std::chrono::system_clock::time_point moment);

}  // namespace platform
