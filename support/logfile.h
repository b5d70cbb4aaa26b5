#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace zbpv {

// One argument of FormatText: a text (Windows-1252) or an integer.
class FormatArg {
public:
    FormatArg(std::string_view text) : text_(text) {}
    FormatArg(const char* text) : text_(text) {}
    FormatArg(const std::string& text) : text_(text) {}
    template <typename T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
    FormatArg(T value) : isInteger_(true), integer_(static_cast<long long>(value)) {}

    bool IsInteger() const { return isInteger_; }
    std::string_view Text() const { return text_; }
    long long Integer() const { return integer_; }

private:
    std::string_view text_;
    bool isInteger_ = false;
    long long integer_ = 0;
};

// The classic format routine: "%[index:][-][width][.precision]type" with the types s (text), d
// (integer), u (unsigned), x (hexadecimal), and "%%". Widths pad with blanks and never cut; a
// precision cuts a text and zero-pads a number. A placeholder without index takes the argument after
// the previous one. A bad placeholder or a missing or mismatched argument raises EConvertError.
std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args);

// Writes text lines to a log file. Every line opens the file for appending, writes and closes it, so
// the file is complete after each call and can be read while the program runs. Lines are given in
// Windows-1252 and written in UTF-8, each ended by CR LF.
//
// Line rules: an empty text writes an empty line; a single "*", "-" or "=" writes that character 80
// times, any other single character an empty line; a text beginning with "!" is a continuation: the
// rest, indented as far as the time stamp is wide; any other text follows the time stamp.
class TosCustomLogfile {
public:
    // A name without folder goes into the "Log" folder of ProgramFolder(); a name with a folder is used
    // with its folder resolved (environment variables $NAME, ${NAME} and %NAME% expanded, a relative
    // folder taken relative to ProgramFolder()). The folder is created when missing (failures show at
    // the first Add). An empty name means "Logfile.txt". The file itself is not touched.
    explicit TosCustomLogfile(std::string_view fileName = {});
    virtual ~TosCustomLogfile();
    TosCustomLogfile(const TosCustomLogfile&) = delete;
    TosCustomLogfile& operator=(const TosCustomLogfile&) = delete;

    const std::filesystem::path& FileName() const { return fileName_; }

    // 0 no time stamp (default), 1 date, 2 time, 3 date and time.
    std::uint8_t TimeStampMode() const { return timeStampMode_; }
    void SetTimeStampMode(std::uint8_t mode) { timeStampMode_ = mode; }
    const std::string& DateFormat() const { return dateFormat_; }
    void SetDateFormat(std::string format) { dateFormat_ = std::move(format); }
    const std::string& TimeFormat() const { return timeFormat_; }
    void SetTimeFormat(std::string format) { timeFormat_ = std::move(format); }
    // Called before each line is written.
    std::function<void(TosCustomLogfile&)> OnWriteLine;

    // Appends one line. Raises EFileError when the file cannot be written; the object stays usable.
    void Add(std::string_view text);
    void AddFmt(std::string_view format, std::initializer_list<FormatArg> args) {
        Add(FormatText(format, args));
    }
    // Deletes the file; true when a file was deleted.
    virtual bool DeleteLog();

protected:
    virtual std::string FormatLine(std::string_view text);
    virtual std::string TimeStamp(std::uint8_t mode);
    virtual void OpenLog();
    virtual void CloseLog();
    virtual void WriteLine(std::string_view text);

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    std::filesystem::path fileName_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::uint8_t timeStampMode_ = 0;
    std::string dateFormat_ = "dd.mm.yyyy";
    std::string timeFormat_ = "hh:nn:ss";
};

class TosLogfile : public TosCustomLogfile {
public:
    using TosCustomLogfile::TosCustomLogfile;
};

// The wizard's diagnostic log of record keys: ProgramFolder() / (ProgramName() + ".log").
std::filesystem::path DebugLogFileName();
// Writes "KeyValue: <key>" for a non-empty key.
void AddKeyValue(TosCustomLogfile& log, std::string_view key);

} // namespace zbpv
