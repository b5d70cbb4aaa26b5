#pragma once
// Ini files as the Windows profile functions treat them: every call reads or rewrites the file, nothing
// is cached; section and key names ignore letter case; values are Windows-1252 bytes, trimmed, with one
// pair of enclosing quotes removed; a read returns at most 2047 characters. Files may end their lines
// with CR LF or LF; a rewrite keeps the file's style (CR LF for a new file).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

class TosIniFile {
public:
    static constexpr std::size_t MaxValueLength = 2047;

    explicit TosIniFile(std::filesystem::path fileName);

    const std::filesystem::path& FileName() const { return fileName_; }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // Integers in decimal or, after "0x"/"0X" or "$", in hexadecimal; anything else gives `def`.
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    // Read as an integer: non-zero is true; an unreadable value gives `def`.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    bool SectionExists(std::string_view section) const;
    // Names of the section's keys, in file order.
    std::vector<std::string> ReadSection(std::string_view section) const;

    // Writes raise EFileError "Nach <file> kann nicht geschrieben werden" when the file cannot be written.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value); // "1" / "0"
    void EraseSection(std::string_view section);

private:
    struct Lines;
    Lines Load() const;
    void Store(const Lines& lines) const;
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    std::filesystem::path fileName_;
};

// Integer text as the ini reader accepts it ("12", "-3", "0x1F", "$1F"); nothing for anything else.
std::optional<int> ParseIniInteger(std::string_view text);

} // namespace zbpv
