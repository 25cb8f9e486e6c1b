#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <ctime>


#include "platform/window/cp437.h"
#include "platform/window/locale.h"

namespace platform {
namespace {

// A literal run of the date pattern: letters would read as picture fields, so quote them.
void AppendLiteral(ByteString& picture, const ByteString& text) {
    bool hasLetters = false;
    for (char c : text) hasLetters |= std::isalpha(static_cast<unsigned char>(c)) != 0;
    picture += hasLetters ? "\"" + text + "\"" : text;
}

const char* DateField(char conversion) {
    switch (conversion) {
        case 'd': return "dd";
        case 'e': return "d";
        case 'm': return "mm";
        case 'y': return "yy";
        case 'Y': case 'G': return "yyyy";
        case 'b': case 'h': return "mmm";
        case 'B': return "mmmm";
        case 'a': return "ddd";
        case 'A': return "dddd";
        case 'D': return "mm/dd/yy";
        case 'F': return "yyyy-mm-dd";
        default: return nullptr;
    }
}

}  // namespace

void TranslateDateFormat(const std::string& dateFormat, LocaleTimeSettings& settings) {
    std::string format = dateFormat;
    // Whole-date conversions stand for their expansion.
    for (const char* whole : {"%D", "%F"}) {
        size_t at = format.find(whole);
        if (at != std::string::npos) format.replace(at, 2, whole[1] == 'D' ? "%m/%d/%y" : "%Y-%m-%d");
    }
    ByteString picture;
    ByteString literal;
    char separator = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            literal += format[i];
            continue;
        }
        char conversion = format[++i];
        if ((conversion == 'E' || conversion == 'O') && i + 1 < format.size()) conversion = format[++i];
        if (conversion == '%' || conversion == 'n' || conversion == 't') {
            literal += conversion == '%' ? '%' : ' ';
            continue;
        }
        const char* field = DateField(conversion);
        if (!field) continue;
        if (!picture.empty() && literal.size() == 1 && std::ispunct(static_cast<unsigned char>(literal[0]))) {
            if (!separator) separator = literal[0];
            if (literal[0] == separator) literal = "/";
        }
        AppendLiteral(picture, Cp437FromUtf8(literal));
        literal.clear();
        picture += field;
    }
    AppendLiteral(picture, Cp437FromUtf8(literal));
    if (picture.empty()) return;
    settings.ShortDatePicture = picture;
    settings.DateSeparator = separator ? separator : '/';
}

void TranslateTimeFormat(const std::string& timeFormat, const std::string& timeFormatAmPm,
                         LocaleTimeSettings& settings) {
    std::string format = timeFormat;
    size_t at;
    while ((at = format.find("%r")) != std::string::npos)
        format.replace(at, 2, timeFormatAmPm.empty() ? "%I:%M:%S %p" : timeFormatAmPm);
    while ((at = format.find("%T")) != std::string::npos) format.replace(at, 2, "%H:%M:%S");
    while ((at = format.find("%R")) != std::string::npos) format.replace(at, 2, "%H:%M");

    bool hourSeen = false;
    bool separatorSeen = false;
    bool markerSeen = false;
    for (size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != '%') {
            if (hourSeen && !separatorSeen && !std::isspace(static_cast<unsigned char>(format[i]))) {
                settings.TimeSeparator = format[i];
                separatorSeen = true;
            }
            continue;
        }
        char conversion = format[++i];
        if ((conversion == 'E' || conversion == 'O') && i + 1 < format.size()) conversion = format[++i];
        if (conversion == 'p' || conversion == 'P') {
            markerSeen = true;
            if (!hourSeen) settings.MarkerFirst = true;
        } else if (!hourSeen && std::string("HkIl").find(conversion) != std::string::npos) {
            hourSeen = true;
            settings.TwelveHour = conversion == 'I' || conversion == 'l';
            settings.HourLeadingZero = conversion == 'H' || conversion == 'I';
        } else if (hourSeen) {
            separatorSeen = true;  // fields with nothing between them
        }
    }
    if (!markerSeen) settings.MarkerFirst = false;
}

LocaleTimeSettings ReadLocaleTimeSettings(const std::string& localeName) {
    LocaleTimeSettings settings;
    locale_t locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK | LC_NUMERIC_MASK, localeName.c_str(), static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return settings;

    std::string codeset = nl_langinfo_l(CODESET, locale);
    bool utf8 = codeset == "UTF-8" || codeset == "utf8";
    auto text = [&](nl_item item) -> ByteString {
        std::string raw = nl_langinfo_l(item, locale);
        if (utf8) return Cp437FromUtf8(raw);
        ByteString glyphs;  // a locale of single bytes is taken as Latin-1
        for (char byte : raw) glyphs += static_cast<char>(Cp437Byte(static_cast<unsigned char>(byte)));
        return glyphs;
    };
    TranslateDateFormat(nl_langinfo_l(D_FMT, locale), settings);
    TranslateTimeFormat(nl_langinfo_l(T_FMT, locale), nl_langinfo_l(T_FMT_AMPM, locale), settings);
    const ByteString radix = text(RADIXCHAR);
    if (radix.size() == 1) settings.DecimalSeparator = radix[0];
    settings.DigitGroupSeparator = text(THOUSEP);
    ByteString am = text(AM_STR), pm = text(PM_STR);
    if (!am.empty() || !pm.empty()) {
        settings.AmMarker = am;
        settings.PmMarker = pm;
    }
    for (int day = 0; day < 7; ++day) {
        settings.ShortDayNames[day] = text(ABDAY_1 + day);
        settings.LongDayNames[day] = text(DAY_1 + day);
    }
    for (int month = 0; month < 12; ++month) {
        settings.ShortMonthNames[month] = text(ABMON_1 + month);
        settings.LongMonthNames[month] = text(MON_1 + month);
    }
    freelocale(locale);
    return settings;
}

LocalDateTime ToLocalDateTime(std::chrono::system_clock::time_point moment) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm fields{};
    localtime_r(&seconds, &fields);
    LocalDateTime local;
    local.Year = fields.tm_year + 1900;
    local.Month = fields.tm_mon + 1;
    local.Day = fields.tm_mday;
    local.DayOfWeek = fields.tm_wday;
    local.Hour = fields.tm_hour;
    local.Minute = fields.tm_min;
    local.Second = fields.tm_sec;
    local.Millisecond = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(moment - std::chrono::system_clock::from_time_t(seconds)).count());
    return local;
}

}  // namespace platform
