#include "support/link_list.h"

#include "support/ansi.h"
#include "support/errors.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

namespace zbpv {

std::string TLinkList::HashKey(std::string_view key) const {
    return caseSensitive_ ? std::string(key) : AnsiLowerCase(key);
}

int TLinkList::Compare(std::string_view a, std::string_view b) const {
    if (caseSensitive_) {
        return a.compare(b);
    }
    return AnsiCompareText(a, b);
}

size_t TLinkList::Locate(std::string_view key, bool& found) const {
    if (sorted_) {
        auto it =
            std::lower_bound(entries_.begin(), entries_.end(), key,
                             [this](const Entry& e, std::string_view k) { return Compare(e.key, k) < 0; });
        found = it != entries_.end() && Compare(it->key, key) == 0;
        return static_cast<size_t>(it - entries_.begin());
    }
    auto it = index_.find(HashKey(key));
    found = it != index_.end();
    return found ? it->second : entries_.size();
}

int TLinkList::IndexOf(std::string_view key) const {
    bool found = false;
    size_t pos = Locate(key, found);
    return found ? static_cast<int>(pos) : -1;
}

int TLinkList::GetLink(std::string_view key) const {
    bool found = false;
    size_t pos = Locate(key, found);
    return found ? entries_[pos].value : 0;
}

void TLinkList::PutLink(std::string_view key, int value) {
    bool found = false;
    size_t pos = Locate(key, found);
    if (found) {
        entries_[pos].value = value;
        return;
    }
    if (sorted_) {
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(pos), Entry{std::string(key), value});
    } else {
        index_.emplace(HashKey(key), entries_.size());
        entries_.push_back(Entry{std::string(key), value});
    }
}

void TLinkList::IncLink(std::string_view key) {
    int value = GetLink(key);
    if (value == INT_MAX) {
        throw EConvertError("Der Wert zum Schlüssel \"" + AnsiToUtf8(key) + "\" ist zu groß.");
    }
    PutLink(key, value + 1);
}

const std::string& TLinkList::Key(int index) const {
    return entries_.at(static_cast<size_t>(index)).key;
}

int TLinkList::Value(int index) const {
    return entries_.at(static_cast<size_t>(index)).value;
}

void TLinkList::Assign(const TLinkList& other) {
    if (&other == this) {
        return;
    }
    entries_ = other.entries_;
    Reorganise();
}

void TLinkList::Clear() {
    entries_.clear();
    index_.clear();
}

void TLinkList::SetSorted(bool sorted) {
    if (sorted != sorted_) {
        sorted_ = sorted;
        Reorganise();
    }
}

void TLinkList::SetCaseSensitive(bool caseSensitive) {
    if (caseSensitive != caseSensitive_) {
        caseSensitive_ = caseSensitive;
        Reorganise();
    }
}

void TLinkList::Reorganise() {
    index_.clear();
    if (sorted_) {
        std::stable_sort(entries_.begin(), entries_.end(),
                         [this](const Entry& a, const Entry& b) { return Compare(a.key, b.key) < 0; });
        return;
    }
    for (size_t i = 0; i < entries_.size(); ++i) {
        index_.emplace(HashKey(entries_[i].key), i);
    }
}

} // namespace zbpv
