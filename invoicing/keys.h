#pragma once
// Old record numbers as the target stores and finds them, and the in-memory key maps of the run.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zbpv {

// Blanks, control characters and the no-break space (160) removed at both ends.
std::string TrimKey(std::string_view text);

// The trimmed text; a purely numeric one is left-padded with blanks to `width` (right-aligned in the
// number column), a longer one stays as it is.
std::string NormalizeKey(std::string_view text, int width);

// The text cut to `width` bytes (Windows-1252: one byte a character); width <= 0 leaves it whole.
std::string CutToWidth(std::string_view text, int width);

// True when upper and lower case of the text are the same (digits, blanks, punctuation only), so a
// lookup ignoring case cannot find anything an exact one does not.
bool HasNoLetterCase(std::string_view text);

// Old key text -> new LFDNR. It answers only exact matches: a key that differs in letter case goes
// to the database, which decides between exact and case-insensitive matches the same way whether
// or not the map exists, so the cache option never changes a result.
class TKeyMap {
public:
    void Reserve(std::size_t n) { map_.reserve(n); }
    void Add(const std::string& key, int32_t lfdnr) { map_.insert_or_assign(key, lfdnr); }
    // 0 when absent.
    int32_t Find(const std::string& key) const;
    bool Contains(const std::string& key) const { return map_.count(key) != 0; }
    std::size_t Size() const { return map_.size(); }

private:
    std::unordered_map<std::string, int32_t> map_;
};

} // namespace zbpv
