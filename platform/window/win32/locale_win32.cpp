// The time-stamp settings from the user's regional settings.
#include <windows.h>

#include <ctime>

#include "platform/window/locale.h"

namespace platform {
namespace {

// In the OEM code page, as the history's font draws it.
ByteString LocaleText(LCTYPE item, const ByteString& fallback) {
    char text[128] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, item, text, sizeof text) <= 1) return fallback;
    CharToOemA(text, text);
    return text;
}

int LocaleNumber(LCTYPE item, int fallback) {
    const ByteString text = LocaleText(item, "");
    return text.empty() ? fallback : std::atoi(text.c_str());
}

}  // namespace

// The name is for POSIX locales; here the user's own settings are read.
LocaleTimeSettings ReadLocaleTimeSettings(const std::string&) {
    LocaleTimeSettings settings;
    settings.ShortDatePicture = LocaleText(LOCALE_SSHORTDATE, settings.ShortDatePicture);
    settings.DateSeparator = LocaleText(LOCALE_SDATE, "/")[0];
    settings.TimeSeparator = LocaleText(LOCALE_STIME, ":")[0];
    settings.DecimalSeparator = LocaleText(LOCALE_SDECIMAL, ".")[0];
    settings.DigitGroupSeparator = LocaleText(LOCALE_STHOUSAND, "");
    settings.HourLeadingZero = LocaleNumber(LOCALE_ITLZERO, 0) == 1;
    settings.TwelveHour = LocaleNumber(LOCALE_ITIME, 0) == 0;
    settings.MarkerFirst = LocaleNumber(LOCALE_ITIMEMARKPOSN, 0) == 1;
    settings.AmMarker = LocaleText(LOCALE_S1159, "");
    settings.PmMarker = LocaleText(LOCALE_S2359, "");
    for (int day = 0; day < 7; ++day) {  // the locale's week starts on Monday
        const int item = (day + 6) % 7;
        settings.ShortDayNames[day] = LocaleText(LOCALE_SABBREVDAYNAME1 + item, settings.ShortDayNames[day]);
        settings.LongDayNames[day] = LocaleText(LOCALE_SDAYNAME1 + item, settings.LongDayNames[day]);
    }
    for (int month = 0; month < 12; ++month) {
        settings.ShortMonthNames[month] = LocaleText(LOCALE_SABBREVMONTHNAME1 + month, settings.ShortMonthNames[month]);
        settings.LongMonthNames[month] = LocaleText(LOCALE_SMONTHNAME1 + month, settings.LongMonthNames[month]);
    }
    return settings;
}

LocalDateTime ToLocalDateTime(std::chrono::system_clock::time_point moment) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm local{};
    localtime_s(&local, &seconds);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(moment - std::chrono::system_clock::from_time_t(seconds));
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday,
            local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(milliseconds.count())};
}

}  // namespace platform
