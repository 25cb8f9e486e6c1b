#include <gtest/gtest.h>

#include <regex>

#include "platform/window/cp437.h"
#include "platform/window/locale.h"
#include "ui/display.h"

namespace {

using platform::LocalDateTime;
using platform::LocaleTimeSettings;

LocalDateTime At(int year, int month, int day, int hour, int minute, int second, int weekday = 4) {
    LocalDateTime moment;
    moment.Year = year;
    moment.Month = month;
    moment.Day = day;
    moment.DayOfWeek = weekday;
    moment.Hour = hour;
    moment.Minute = minute;
    moment.Second = second;
    return moment;
}

LocaleTimeSettings European() {
    LocaleTimeSettings locale;
    locale.ShortDatePicture = "dd/mm/yyyy";
    locale.DateSeparator = '.';
    locale.TwelveHour = false;
    locale.HourLeadingZero = true;
    return locale;
}

TEST(TimeStamp, PicturesAndTimes) {
    const LocaleTimeSettings fallback;
    LocaleTimeSettings markerFirst = fallback;
    markerFirst.MarkerFirst = true;
    markerFirst.AmMarker = "AM";
    markerFirst.PmMarker = "PM";
    LocaleTimeSettings named = European();
    named.ShortDatePicture = "DDD, D. MMMM YY \"at day\" d'/'M";
    LocaleTimeSettings shortNames = European();
    shortNames.ShortDatePicture = "dddd mmm y";

    struct Case {
        const char* name;
        const LocaleTimeSettings& locale;
        LocalDateTime moment;
        ByteString stamp;
    } cases[] = {
        {"fallback afternoon", fallback, At(2026, 12, 10, 15, 4, 5), "12/10/26 3:04:05 pm"},
        {"fallback morning, no leading zero", fallback, At(2026, 1, 2, 9, 0, 7), "1/2/26 9:00:07 am"},
        {"midnight drops the time", fallback, At(2026, 12, 10, 0, 0, 0), "12/10/26"},
        {"a second past midnight is 12 am", fallback, At(2026, 12, 10, 0, 0, 1), "12/10/26 12:00:01 am"},
        {"noon is 12 pm", fallback, At(2026, 12, 10, 12, 0, 0), "12/10/26 12:00:00 pm"},
        {"markers first", markerFirst, At(2026, 12, 10, 23, 59, 59), "12/10/26 PM 11:59:59"},
        {"24 hour, four-digit year, separator", European(), At(2026, 3, 7, 8, 5, 9), "07.03.2026 08:05:09"},
        {"names, quotes, case", named, At(2026, 3, 7, 20, 0, 0, 6), "Sat, 7. March 26 at day 7/3 20:00:00"},
        {"long day, short month", shortNames, At(2009, 11, 1, 1, 1, 1, 0), "Sunday Nov 09 01:01:01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatTimeStamp(c.locale, c.moment), c.stamp);
    }
}

TEST(TimeStamp, MillisecondsFollowTheSecondsWithTheLocalesSeparator) {
    LocaleTimeSettings us;
    us.AmMarker = "AM";
    us.PmMarker = "PM";
    LocaleTimeSettings markerFirst = us;
    markerFirst.MarkerFirst = true;
    LocaleTimeSettings german = European();
    german.DecimalSeparator = ',';
    auto at = [](int hour, int minute, int second, int millisecond) {
        LocalDateTime moment = At(2026, 12, 10, hour, minute, second);
        moment.Millisecond = millisecond;
        return moment;
    };
    struct Case {
        const char* name;
        const LocaleTimeSettings& locale;
        LocalDateTime moment;
        bool milliseconds;
        ByteString stamp;
    } cases[] = {
        {"12-hour, marker after", us, at(17, 54, 49, 123), true, "12/10/26 5:54:49.123 PM"},
        {"marker before", markerFirst, at(5, 54, 49, 7), true, "12/10/26 AM 5:54:49.007"},
        {"24-hour, comma", german, at(17, 54, 49, 90), true, "10.12.2026 17:54:49,090"},
        {"off: exactly the seconds", us, at(17, 54, 49, 999), false, "12/10/26 5:54:49 PM"},
        {"exact midnight drops the time", us, at(0, 0, 0, 0), true, "12/10/26"},
        {"a millisecond past midnight is a time", german, at(0, 0, 0, 1), true, "10.12.2026 00:00:00,001"},
        {"off: midnight by the second", us, at(0, 0, 0, 500), false, "12/10/26"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatTimeStamp(c.locale, c.moment, c.milliseconds), c.stamp);
    }
}

TEST(TimeStamp, NeverLongerThan256Bytes) {
    LocaleTimeSettings locale;
    locale.ShortDatePicture = std::string(300, 'x');
    EXPECT_EQ(FormatTimeStamp(locale, At(2026, 12, 10, 15, 4, 5)).size(), 256u);
}

TEST(LocaleTranslation, StrftimePatterns) {
    struct Case {
        const char* date;
        const char* time;
        const char* ampm;
        ByteString picture;
        char dateSeparator, timeSeparator;
        bool twelveHour, leadingZero, markerFirst;
    } cases[] = {
        {"%m/%d/%y", "%r", "%I:%M:%S %p", "mm/dd/yy", '/', ':', true, true, false},
        {"%d/%m/%Y", "%T", "", "dd/mm/yyyy", '/', ':', false, true, false},
        {"%d.%m.%Y", "%H.%M.%S", "", "dd/mm/yyyy", '.', '.', false, true, false},
        {"%Y-%m-%d", "%k:%M:%S", "", "yyyy/mm/dd", '-', ':', false, false, false},
        {"%e %b %Y", "%l:%M:%S %p", "", "d mmm yyyy", '/', ':', true, false, false},
        {"%F", "%p %I:%M:%S", "", "yyyy/mm/dd", '-', ':', true, true, true},
        {"%D", "%R", "", "mm/dd/yy", '/', ':', false, true, false},
        {"%A, %B %d, %Y", "%Ec", "", "dddd, mmmm dd, yyyy", '/', ':', false, true, false},
        {"day %d", "%H:%M", "", "\"day \"dd", '/', ':', false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date + std::string(" / ") + c.time);
        LocaleTimeSettings settings;
        settings.TwelveHour = false;
        settings.HourLeadingZero = true;
        platform::TranslateDateFormat(c.date, settings);
        platform::TranslateTimeFormat(c.time, c.ampm, settings);
        EXPECT_EQ(settings.ShortDatePicture, c.picture);
        EXPECT_EQ(settings.DateSeparator, c.dateSeparator);
        EXPECT_EQ(settings.TimeSeparator, c.timeSeparator);
        EXPECT_EQ(settings.TwelveHour, c.twelveHour);
        EXPECT_EQ(settings.HourLeadingZero, c.leadingZero);
        EXPECT_EQ(settings.MarkerFirst, c.markerFirst);
    }
}

TEST(LocaleTranslation, RealLocales) {
    const LocalDateTime afternoon = At(2026, 3, 7, 15, 4, 5, 6);
    struct Case {
        const char* locale;
        const char* stamp;  // a regular expression: the exact digits, the locale's shape
    } cases[] = {
        {"C.UTF-8", R"(03/07/26 15:04:05)"},
        {"en_US.UTF-8", R"(03/07/(20)?26 03:04:05 PM)"},
        {"en_GB.UTF-8", R"(07/03/(20)?26 15:04:05)"},
        {"de_DE.UTF-8", R"(07\.03\.2026 15:04:05)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        locale_t installed = newlocale(LC_TIME_MASK, c.locale, static_cast<locale_t>(0));
        if (!installed) {
            ADD_FAILURE() << c.locale << " is not installed: run tools/install-deps.sh";
            continue;
        }
        freelocale(installed);
        ByteString stamp = FormatTimeStamp(platform::ReadLocaleTimeSettings(c.locale), afternoon);
        EXPECT_TRUE(std::regex_match(stamp, std::regex(c.stamp))) << stamp;
    }
    LocaleTimeSettings german = platform::ReadLocaleTimeSettings("de_DE.UTF-8");
    EXPECT_EQ(german.LongMonthNames[2], "M\x84rz") << "names come in code page 437";
    EXPECT_EQ(german.DecimalSeparator, ',');
    EXPECT_EQ(platform::ReadLocaleTimeSettings("en_US.UTF-8").DecimalSeparator, '.');
    EXPECT_EQ(german.DigitGroupSeparator, ".");
    EXPECT_EQ(platform::ReadLocaleTimeSettings("en_US.UTF-8").DigitGroupSeparator, ",");
    EXPECT_EQ(platform::ReadLocaleTimeSettings("C.UTF-8").DigitGroupSeparator, "") << "C groups no digits";
}

TEST(LocaleTranslation, CountsAreGroupedByThrees) {
    const struct {
        uint64_t value;
        const char* separator;
        const char* written;
    } cases[] = {
        {0, ",", "0"},          {999, ",", "999"},         {1000, ",", "1,000"},
        {181440, ",", "181,440"}, {1048576, ",", "1,048,576"}, {1048576, ".", "1.048.576"},
        {1048576, "", "1048576"}, {18446744073709551615u, "\xFF", "18\xFF" "446\xFF" "744\xFF" "073\xFF" "709\xFF" "551\xFF" "615"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::GroupDigits(c.value, c.separator), c.written) << c.value;
}

TEST(LocaleTranslation, UnreadableLocaleGivesTheFallback) {
    LocaleTimeSettings settings = platform::ReadLocaleTimeSettings("xx_NOWHERE.UTF-8");
    EXPECT_EQ(FormatTimeStamp(settings, At(2026, 12, 10, 15, 4, 5)), "12/10/26 3:04:05 pm");
}

}  // namespace

namespace {

// Locale texts in UTF-8 become the bytes the history shows them with.
TEST(Cp437, FromUtf8) {
    struct Case {
        std::string utf8;
        ByteString bytes;
    } cases[] = {
        {"PM", "PM"},
        {"\xC3\xA9t\xC3\xA9", "\x82t\x82"},           // été
        {"\xE2\x95\x91", "\xBA"},                     // ║, three bytes
        {"\xE2\x82\xAC", "?"},                        // €, not in the page
        {"\xF0\x9F\x98\x80", "?"},                    // beyond 16 bits
        {"a\xC3", "a?"},                              // cut short
        {"\x80x", "?x"},                              // a stray continuation byte
        {"\xE2\x95x", "?x"},                          // a lead without its tail
    };
    for (const Case& c : cases) EXPECT_EQ(platform::Cp437FromUtf8(c.utf8), c.bytes) << c.utf8;
}

}  // namespace
