#pragma once
// The "system's" formats: one object, German defaults, taken from the user's locale where it says
// otherwise. Tests set it explicitly so nothing depends on the machine's locale.

#include "support/datetime.h"

#include <string>
#include <string_view>

namespace zbpv {

struct FormatSettings {
    std::string shortDateFormat = "dd.mm.yyyy";
    std::string longTimeFormat = "hh:nn:ss";
    std::string shortTimeFormat = "hh:nn";
    char dateSeparator = '.';
    char timeSeparator = ':';
    char thousandSeparator = '.';
    char decimalSeparator = ',';

    static FormatSettings German() { return {}; }
    // German defaults, with the decimal and thousands separators of the process locale (LC_NUMERIC)
    // when it names other ones.
    static FormatSettings FromLocale();
};

// The process-wide settings; the application sets them once at start-up.
const FormatSettings& GlobalFormatSettings();
void SetGlobalFormatSettings(const FormatSettings& fs);

// Date format in the old programs' notation: d dd m mm yy yyyy h hh n nn s ss z zzz, "/" and ":" stand for
// the date and time separators, 'c' for short date + long time (time left out at midnight), text in '…' or
// "…" is copied as it stands.
std::string FormatDateTime(std::string_view format, TDateTime dt, const FormatSettings& fs);
std::string FormatDateTime(std::string_view format, TDateTime dt);

// Short date, and short date + long time (time left out at midnight).
std::string DateToStr(TDateTime dt, const FormatSettings& fs = GlobalFormatSettings());
std::string TimeToStr(TDateTime dt, const FormatSettings& fs = GlobalFormatSettings());
std::string DateTimeToStr(TDateTime dt, const FormatSettings& fs = GlobalFormatSettings());

// Parses a date (order of day, month and year from the short date format; separator '.', '/', '-' or the
// settings' one; two-digit years 00..49 are 20xx) optionally followed by a time "h:n[:s[.z]]".
bool TryStrToDateTime(std::string_view text, TDateTime& out,
                      const FormatSettings& fs = GlobalFormatSettings());
bool TryStrToTime(std::string_view text, TDateTime& out, const FormatSettings& fs = GlobalFormatSettings());

// Shortest decimal text that reads back to the same double, with the settings' decimal separator.
std::string FloatToStr(double v, const FormatSettings& fs = GlobalFormatSettings());
// Parses a number written with the settings' decimal separator (and an optional exponent).
bool TryStrToFloat(std::string_view text, double& out, const FormatSettings& fs = GlobalFormatSettings());

} // namespace zbpv
