#pragma once
// The output side of the RTF converter: a short buffer that is cleaned of redundant tag pairs and cut
// into lines at "<P>" and "<BR>", with web addresses turned into links as the lines are written.

#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

class TRtfHtmlWriter {
public:
    // `optimize` adds the fixed formatting pairs and makes registered pairs take effect.
    explicit TRtfHtmlWriter(bool optimize);

    // Appends text to the buffer and writes every complete line of it.
    void Emit(std::string_view text);
    // A line written as it stands, ended by CR LF.
    void WriteLine(std::string_view line);
    // The buffer as it stands, as the last line, without cleaning or links.
    void FlushRest();

    // A tag pair that the cleanup removes (only with `optimize`); later registrations are tried first.
    void RegisterPair(std::string pair);

    const std::string& Output() const { return out_; }
    std::string& Output() { return out_; }

    // The text with every "http://" address turned into a link.
    static std::string LinkURLs(std::string_view text);

private:
    // Runs the removal passes until nothing changes; true when something was removed.
    bool Clean(std::string& text) const;
    bool AnyPattern(const std::string& text) const;
    void RebuildPatterns();

    bool optimize_;
    std::vector<std::string> registered_;
    std::vector<std::string> patterns_; // in the order the passes try them
    std::vector<size_t> joints_;        // where "><" lies in each pattern
    size_t maxPattern_ = 0;

    std::string buf_;
    // Whether buf_ is free of removable pairs; while it is not, clean_ is its cleaned form (a short
    // buffer keeps its uncleaned text for the last line).
    bool bufClean_ = true;
    std::string clean_;
    std::string out_;
    std::string work_;
};

} // namespace zbpv
