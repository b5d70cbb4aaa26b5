#pragma once
// A timestamp in parts, as database clients deliver it; may hold an impossible date (31 February).
// One definition for the source reader and the target layer, so values pass between them unchanged.

namespace zbpv {

struct TSQLTimeStamp {
    int Year = 0;
    unsigned Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    unsigned Fractions = 0; // 1/10000 s
    bool operator==(const TSQLTimeStamp&) const = default;
};

} // namespace zbpv
