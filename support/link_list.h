#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zbpv {

// Map from an old key (Windows-1252 text) to a new record number, in insertion order (or key order
// when sorted). Keys compare without regard to letter case unless the list is made case-sensitive.
// Keys may contain any character, the colon included.
class TLinkList {
public:
    TLinkList() = default;
    explicit TLinkList(bool caseSensitive) : caseSensitive_(caseSensitive) {}

    // The number stored for the key; 0 when the key is missing.
    int GetLink(std::string_view key) const;
    // Stores the number for the key, replacing an earlier one.
    void PutLink(std::string_view key, int value);
    // Stores the key's number plus 1 (a missing key starts from 0). Raises EConvertError on overflow.
    void IncLink(std::string_view key);

    // Position of the key, -1 when missing.
    int IndexOf(std::string_view key) const;
    int Count() const { return static_cast<int>(entries_.size()); }
    // Key and number at a position (0 <= index < Count(); raises std::out_of_range otherwise).
    const std::string& Key(int index) const;
    int Value(int index) const;

    // Replaces the entries with those of `other`; this list keeps its own case sensitivity and order.
    void Assign(const TLinkList& other);
    void Clear();

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool caseSensitive);

private:
    struct Entry {
        std::string key;
        int value = 0;
    };

    std::string HashKey(std::string_view key) const;
    int Compare(std::string_view a, std::string_view b) const;
    // Where the key is, or in a sorted list where it would go (`found` tells which).
    size_t Locate(std::string_view key, bool& found) const;
    void Reorganise();

    std::vector<Entry> entries_;
    // Unsorted lists only: key in compare form -> first position holding it.
    std::unordered_map<std::string, size_t> index_;
    bool caseSensitive_ = false;
    bool sorted_ = false;
};

} // namespace zbpv
