#pragma once
// The single-pass RTF scanner behind RtfTextToHtml. One object converts one document.

#include "textconv/rtf_html_writer.h"
#include "textconv/rtf_to_html.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

// The character format in force for the text being written.
struct Tr2hFormat {
    bool Hidden = false;
    bool Caps = false;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Superscript = false;
    bool Subscript = false;
    bool Strike = false;
    int32_t FontNumber = -1;
    int32_t Color = -1; // 0xRRGGBB, -1 = none
    int32_t FontSize = -1;
    bool RightAligned = false;
    bool Centered = false;

    bool operator==(const Tr2hFormat&) const = default;
    void ResetText();
    void ResetPar();
    void ResetAll() {
        ResetText();
        ResetPar();
    }
};

// "<FONT SIZE=+0>" and its siblings for a size in points.
std::string RtfSizeTag(int32_t points);
// MergeStyle: a style's own control words on top of those of the style it is based on.
std::string RtfMergeStyle(std::string base, std::string own);

class TRtfConverter {
public:
    TRtfConverter(std::string_view rtf, const RtfOptions& options);
    // Converts the whole document into `html`; on an error the frame is closed before it propagates.
    void Run(std::string& html);

private:
    enum class TTableState { RowStart, InCell, AfterRow };
    enum class TAlign { None, Center, Right };
    enum TTag : uint8_t { tagB, tagI, tagU, tagSub, tagSup, tagS, tagFont };
    // An entry of the tag stack: the kind of tag opened, which names its closing tag.
    struct stackelem {
        TTag opened;
    };
    struct TFont {
        int32_t number = 0;
        std::string name;
    };
    struct TStyle {
        std::string name;
        std::string words;
    };
    struct TExpansion {
        int style;
        size_t end;
    };

    // Scanning.
    void ProcessGroup();
    void GroupReturn(std::vector<Tr2hFormat>& stack, bool emitTags);
    std::string_view ReadWord();
    void HandleBackslash();
    void DispatchWord(std::string_view word, size_t wordStart);
    void HandleDestination();
    void SkipGroup();
    bool ReadHex(char (&hex)[2]);
    void PlainText();
    // The characters up to the next brace or backslash, escaped, onto `out`.
    void AppendRun(std::string& out, const Tr2hFormat& f);

    // Formatting.
    void ControlWord(std::string_view word, Tr2hFormat& f, std::string& out);
    void FormatText(std::string_view token, const Tr2hFormat& f, std::string& out);
    void OpenTags(const Tr2hFormat& f, std::string& out);
    void PopAllTags(std::string& out);
    void CloseAlignment(std::string& out);
    void TextToken(std::string_view token, const Tr2hFormat& f, std::string& out);
    void BeforeText();
    std::string FaceTag(int32_t fontNumber) const;
    std::string ColorTag(int32_t color) const;

    // Lists, numbering, tables.
    void LeftIndent(int32_t value, std::string& out);
    void CloseLists(std::string& out);
    void NumberingGroup();
    void Table();

    // Header tables.
    void FontTable();
    void ColorTable();
    void StyleSheet();
    void StyleGroup();
    void ExpandStyle(int style, size_t wordStart);

    // Emits text unless empty.
    void Emit(std::string_view text) { writer_.Emit(text); }

    bool noFonts_ = false;
    bool optimize_ = false;
    bool onlyDefiniteOpt_ = false;

    std::string s_; // the input, every line end reduced to '\n'
    size_t pos_ = 0;
    size_t styleBudget_ = 0;
    size_t noOpenBraceFrom_ = std::string::npos; // no '{' at or after this position
    std::vector<TExpansion> expanding_;

    TRtfHtmlWriter writer_;
    Tr2hFormat fmt_;
    std::vector<Tr2hFormat> groups_;
    std::vector<stackelem> tags_;
    TAlign openAlign_ = TAlign::None;
    bool inTable_ = false;

    std::array<TFont, 201> fonts_;
    int fontCount_ = 0;
    std::vector<int32_t> colors_;
    std::array<TStyle, 301> styles_;
    std::array<int, 10> tocStyle_;
    std::array<int, 10> headingStyle_;
    std::array<int, 10> tocLinks_;
    std::array<int, 10> headingAnchors_;

    // Lists.
    int listDepth_ = 0;
    bool bulletList_ = false;
    bool itemClosed_ = false;
    bool firstIndent_ = true;
    int64_t indentTotal_ = 0;

    // Numbering.
    bool numberedBody_ = false;
    bool numberingStyle_ = false;
    std::string prefix_;
    std::string suffix_;
    int64_t counter_ = -1;
    std::string pendingLabel_;

    bool formatChanged_ = false;
    bool paragraphStart_ = true;
    bool tocParagraph_ = false;
    bool tocLinkPending_ = false;
    bool tocLinkOpen_ = false;
    bool headingAnchorPending_ = false;
    bool bookmarkBreakDone_ = false;
    int tocLevel_ = 1;
    int headingLevel_ = 1;

    std::string scratch_;
};

} // namespace zbpv
