#include "support/logfile.h"

#include "support/ansi.h"
#include "support/datetime.h"
#include "support/errors.h"
#include "support/format_settings.h"
#include "support/program_folder.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace zbpv {

namespace {

[[noreturn]] void BadFormat(std::string_view format) {
    throw EConvertError("Format '" + AnsiToUtf8(format) + "' ungültig oder nicht kompatibel mit Argument");
}

// Reads digits at `pos`; -1 when there are none.
long long ReadNumber(std::string_view s, size_t& pos) {
    if (pos >= s.size() || s[pos] < '0' || s[pos] > '9') {
        return -1;
    }
    long long n = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        n = n * 10 + (s[pos++] - '0');
        if (n > 1000000) {
            return -2; // no sane width or index
        }
    }
    return n;
}

void Pad(std::string& out, std::string_view value, long long width, bool left) {
    size_t fill = width > 0 && static_cast<size_t>(width) > value.size()
                      ? static_cast<size_t>(width) - value.size()
                      : 0;
    if (!left) {
        out.append(fill, ' ');
    }
    out += value;
    if (left) {
        out.append(fill, ' ');
    }
}

std::string ExpandEnvironment(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        size_t nameStart = 0;
        size_t nameEnd = 0;
        size_t next = 0;
        if (s[i] == '%') {
            size_t close = s.find('%', i + 1);
            if (close != std::string_view::npos && close > i + 1) {
                nameStart = i + 1;
                nameEnd = close;
                next = close + 1;
            }
        } else if (s[i] == '$' && i + 1 < s.size() && s[i + 1] == '{') {
            size_t close = s.find('}', i + 2);
            if (close != std::string_view::npos && close > i + 2) {
                nameStart = i + 2;
                nameEnd = close;
                next = close + 1;
            }
        } else if (s[i] == '$') {
            size_t j = i + 1;
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_')) {
                ++j;
            }
            if (j > i + 1) {
                nameStart = i + 1;
                nameEnd = j;
                next = j;
            }
        }
        if (next != 0) {
            std::string name(s.substr(nameStart, nameEnd - nameStart));
            if (const char* value = std::getenv(name.c_str())) {
                out += value;
                i = next;
                continue;
            }
        }
        // Unknown variables stay as they are written.
        out += s[i++];
    }
    if (out == "~" || out.starts_with("~/")) {
        if (const char* home = std::getenv("HOME"); home && *home) {
            out.replace(0, 1, home);
        }
    }
    return out;
}

std::string ErrorText(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "Zugriff verweigert";
    case ENOENT:
    case ENOTDIR:
        return "Das System kann den angegebenen Pfad nicht finden";
    case ENOSPC:
    case EDQUOT:
        return "Nicht genügend Speicherplatz auf dem Datenträger";
    case EROFS:
        return "Der Datenträger ist schreibgeschützt";
    case EISDIR:
        return "Der Name bezeichnet ein Verzeichnis";
    default:
        return "E/A-Fehler " + std::to_string(error);
    }
}

} // namespace

std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args) {
    const std::vector<FormatArg> list(args);
    std::string out;
    out.reserve(format.size() + 16 * list.size());
    size_t nextArg = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        size_t pos = i + 1;
        if (pos < format.size() && format[pos] == '%') {
            out += '%';
            i = pos;
            continue;
        }
        size_t before = pos;
        long long number = ReadNumber(format, pos);
        if (number < -1) {
            BadFormat(format);
        }
        if (number >= 0 && pos < format.size() && format[pos] == ':') {
            nextArg = static_cast<size_t>(number);
            ++pos;
        } else {
            pos = before;
        }
        bool left = false;
        if (pos < format.size() && format[pos] == '-') {
            left = true;
            ++pos;
        }
        long long width = ReadNumber(format, pos);
        long long precision = -1;
        if (pos < format.size() && format[pos] == '.') {
            ++pos;
            precision = ReadNumber(format, pos);
        }
        if (width < -1 || precision < -1 || pos >= format.size() || nextArg >= list.size()) {
            BadFormat(format);
        }
        const FormatArg& arg = list[nextArg++];
        char type = static_cast<char>(std::tolower(static_cast<unsigned char>(format[pos])));
        std::string value;
        switch (type) {
        case 's':
            if (arg.IsInteger()) {
                BadFormat(format);
            }
            value = std::string(arg.Text().substr(0, precision >= 0 ? static_cast<size_t>(precision)
                                                                    : std::string_view::npos));
            break;
        case 'd':
        case 'u':
        case 'x': {
            if (!arg.IsInteger()) {
                BadFormat(format);
            }
            long long n = arg.Integer();
            bool negative = type == 'd' && n < 0;
            unsigned long long magnitude = type == 'd' ? (negative ? 0ull - static_cast<unsigned long long>(n)
                                                                   : static_cast<unsigned long long>(n))
                                                       : static_cast<unsigned long long>(n) & 0xFFFFFFFFull;
            std::string digits;
            do {
                unsigned d = static_cast<unsigned>(magnitude % (type == 'x' ? 16 : 10));
                digits.insert(digits.begin(), static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10));
                magnitude /= type == 'x' ? 16 : 10;
            } while (magnitude != 0);
            if (precision > 0 && digits.size() < static_cast<size_t>(precision)) {
                digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
            }
            value = negative ? "-" + digits : digits;
            break;
        }
        default:
            BadFormat(format);
        }
        Pad(out, value, width, left);
        i = pos;
    }
    return out;
}

TosCustomLogfile::TosCustomLogfile(std::string_view fileName) {
    std::string name = fileName.empty() ? std::string("Logfile.txt") : std::string(fileName);
    std::filesystem::path path(name);
    std::filesystem::path folder;
    if (name.find('/') != std::string::npos) {
        folder = std::filesystem::path(ExpandEnvironment(path.parent_path().string()));
        if (folder.is_relative()) {
            folder = ProgramFolder() / folder;
        }
        // A name ending in "/" has no file part; it still names a file inside that folder.
        fileName_ = folder / (path.has_filename() ? path.filename() : std::filesystem::path("Logfile.txt"));
    } else {
        folder = ProgramFolder() / "Log";
        fileName_ = folder / path;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
}

TosCustomLogfile::~TosCustomLogfile() = default;

void TosCustomLogfile::Add(std::string_view text) {
    OpenLog();
    // The file is closed also when writing fails, so the next Add starts afresh.
    struct Closer {
        TosCustomLogfile& log;
        ~Closer() { log.file_.reset(); }
    } closer{*this};
    WriteLine(text);
    CloseLog();
}

bool TosCustomLogfile::DeleteLog() {
    std::error_code ec;
    return std::filesystem::remove(fileName_, ec) && !ec;
}

std::string TosCustomLogfile::FormatLine(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() == 1) {
        char c = text[0];
        return c == '*' || c == '-' || c == '=' ? std::string(80, c) : std::string();
    }
    if (text[0] == '!') {
        return std::string(TimeStamp(timeStampMode_).size(), ' ') + std::string(text.substr(1));
    }
    return TimeStamp(timeStampMode_) + std::string(text);
}

std::string TosCustomLogfile::TimeStamp(std::uint8_t mode) {
    switch (mode) {
    case 1:
        return FormatDateTime(dateFormat_, Now()) + "  ";
    case 2:
        return FormatDateTime(timeFormat_, Now()) + "  ";
    case 3:
        return FormatDateTime(dateFormat_ + " " + timeFormat_, Now()) + "  ";
    default:
        return {};
    }
}

void TosCustomLogfile::OpenLog() {
    file_.reset();
    errno = 0;
    std::FILE* f = std::fopen(fileName_.c_str(), "ab");
    if (!f) {
        throw EFileError("Die Datei \"" + fileName_.string() +
                         "\" kann nicht geöffnet werden: " + ErrorText(errno) + ".");
    }
    file_.reset(f);
}

void TosCustomLogfile::CloseLog() {
    if (!file_) {
        return;
    }
    std::FILE* f = file_.release();
    errno = 0;
    bool failed = std::fflush(f) != 0;
    int error = errno;
    failed = std::fclose(f) != 0 || failed;
    if (failed) {
        throw EFileError("In die Datei \"" + fileName_.string() +
                         "\" kann nicht geschrieben werden: " + ErrorText(error ? error : errno) + ".");
    }
}

void TosCustomLogfile::WriteLine(std::string_view text) {
    if (OnWriteLine) {
        OnWriteLine(*this);
    }
    if (!file_) {
        OpenLog();
    }
    std::string line = AnsiToUtf8(FormatLine(text));
    line += "\r\n";
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), file_.get()) != line.size()) {
        throw EFileError("In die Datei \"" + fileName_.string() +
                         "\" kann nicht geschrieben werden: " + ErrorText(errno) + ".");
    }
}

std::filesystem::path DebugLogFileName() {
    return ProgramFolder() / (ProgramName() + ".log");
}

void AddKeyValue(TosCustomLogfile& log, std::string_view key) {
    if (!key.empty()) {
        log.AddFmt("KeyValue: %s", {key});
    }
}

} // namespace zbpv
