#include "ui/display.h"

#include <algorithm>
#include <cctype>

ByteString StripTo7Bit(const ByteString& Text) {
    ByteString reduced = Text;
    for (char& byte : reduced) byte = static_cast<char>(byte & 0x7F);
    return reduced;
}

char HexDigit(uint8_t Value) { return static_cast<char>(Value < 10 ? 0x30 + Value : 0x37 + Value); }

ByteString HexByte(uint8_t Value) { return {HexDigit(Value >> 4), HexDigit(Value & 0x0F)}; }

ByteString ToHexText(const ByteString& Text) {
    ByteString hex(Text.size() * 3, ' ');
    char* out = hex.data();
    for (char byte : Text) {
        const auto value = static_cast<uint8_t>(byte);
        out[0] = HexDigit(value >> 4);
        out[1] = HexDigit(value & 0x0F);
        out += 3;
    }
    return hex;
}

ByteString MaskControlChars(const ByteString& Text) {
    ByteString masked = Text;
    for (char& byte : masked)
        if (static_cast<uint8_t>(byte) < 0x20 && byte != '\r') byte = static_cast<char>(0xBA);
    return masked;
}

namespace {

// The text column beside hex: one line whatever the bytes, so CR is masked as well.
ByteString TextColumn(const ByteString& text) {
    ByteString column = text;
    for (char& byte : column)
        if (static_cast<uint8_t>(byte) < 0x20) byte = static_cast<char>(0xBA);
    return column;
}

}  // namespace

ByteString BuildHistoryLine(const ByteString& Text, int Format, const ByteString& Stamp, bool TextBeside) {
    const ByteString bytes = (Format & SevenBitBit) ? StripTo7Bit(Text) : Text;
    if (!(Format & HexadecimalBit)) return Stamp + ' ' + MaskControlChars(bytes);
    const ByteString hex = Stamp + ' ' + ToHexText(bytes);
    return TextBeside ? hex + "  " + TextColumn(bytes) : hex;
}

size_t HistoryLineLength(size_t TextSize, int Format, size_t StampSize, bool TextBeside) {
    if (!(Format & HexadecimalBit)) return StampSize + 1 + TextSize;
    return StampSize + 1 + 3 * TextSize + (TextBeside ? 2 + TextSize : 0);
}

namespace {

ByteString Number(int value, bool twoDigits) {
    ByteString digits = std::to_string(value);
    return twoDigits && digits.size() < 2 ? "0" + digits : digits;
}

size_t RunLength(const ByteString& picture, size_t start) {
    char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(picture[start])));
    size_t end = start;
    while (end < picture.size() && std::tolower(static_cast<unsigned char>(picture[end])) == letter) ++end;
    return end - start;
}

ByteString FormatDate(const platform::LocaleTimeSettings& locale, const platform::LocalDateTime& moment) {
    const ByteString& picture = locale.ShortDatePicture;
    ByteString date;
    for (size_t i = 0; i < picture.size();) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(picture[i])));
        if (c == 'd' || c == 'm' || c == 'y') {
            size_t run = RunLength(picture, i);
            i += run;
            if (c == 'y')
                date += run >= 3 ? std::to_string(moment.Year) : Number(moment.Year % 100, true);
            else if (run <= 2)
                date += Number(c == 'd' ? moment.Day : moment.Month, run == 2);
            else if (c == 'd')
                date += (run == 3 ? locale.ShortDayNames : locale.LongDayNames)[moment.DayOfWeek];
            else
                date += (run == 3 ? locale.ShortMonthNames : locale.LongMonthNames)[moment.Month - 1];
        } else if (c == '"' || c == '\'') {
            size_t close = picture.find(c, i + 1);
            if (close == ByteString::npos) close = picture.size();
            date += picture.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            date += c == '/' ? locale.DateSeparator : picture[i];
            ++i;
        }
    }
    return date;
}

ByteString ThreeDigits(int value) {
    const ByteString digits = std::to_string(value);
    return ByteString(3 - std::min<size_t>(digits.size(), 3), '0') + digits;
}

ByteString FormatTime(const platform::LocaleTimeSettings& locale, const platform::LocalDateTime& moment,
                      bool milliseconds) {
    int hour = moment.Hour;
    if (locale.TwelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
    ByteString time = Number(hour, locale.HourLeadingZero) + locale.TimeSeparator +
                      Number(moment.Minute, true) + locale.TimeSeparator + Number(moment.Second, true);
    if (milliseconds) time += locale.DecimalSeparator + ThreeDigits(moment.Millisecond);
    if (!locale.TwelveHour) return time;
    const ByteString& marker = moment.Hour < 12 ? locale.AmMarker : locale.PmMarker;
    if (marker.empty()) return time;
    return locale.MarkerFirst ? marker + ' ' + time : time + ' ' + marker;
}

}  // namespace

ByteString FormatTimeStamp(const platform::LocaleTimeSettings& Locale, const platform::LocalDateTime& Moment,
                           bool Milliseconds) {
    ByteString stamp = FormatDate(Locale, Moment);
    const bool midnight = Moment.Hour == 0 && Moment.Minute == 0 && Moment.Second == 0 &&
                          (!Milliseconds || Moment.Millisecond == 0);
    if (!midnight) stamp += ' ' + FormatTime(Locale, Moment, Milliseconds);
    if (stamp.size() > 256) stamp.resize(256);
    return stamp;
}
