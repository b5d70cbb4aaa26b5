#include "invoicing/run_report.h"

#include "support/ansi.h"
#include "support/datetime.h"
#include "support/errors.h"
#include "support/format_settings.h"

#include <fstream>
#include <system_error>

namespace zbpv {

std::filesystem::path TRunReport::Write(const std::filesystem::path& logFolder) const {
    if (refused_.empty())
        return {};
    std::error_code ec;
    std::filesystem::create_directories(logFolder, ec);
    TDateTime now = Now();
    std::string name =
        "Abgewiesen " + FormatDateTime("yyyy-mm-dd hhnnss", now, FormatSettings::German()) + ".log";
    std::filesystem::path path = logFolder / name;
    for (int n = 2; std::filesystem::exists(path); ++n)
        path = logFolder / (name.substr(0, name.size() - 4) + " (" + std::to_string(n) + ").log");
    std::ofstream out(path, std::ios::binary);
    if (!out)
        throw EFileError("Die Datei \"" + path.string() + "\" konnte nicht angelegt werden.");
    out << "Von der Datenbank abgewiesene Datensätze: " << refused_.size() << "\n";
    out << "Import vom " << FormatDateTime("dd.mm.yyyy hh:nn:ss", now, FormatSettings::German()) << "\n\n";
    for (const TRefusedRow& r : refused_)
        out << "Tabelle: " << r.table << "\tSchlüssel: " << AnsiToUtf8(r.oldKey) << "\tMeldung: " << r.message
            << "\n";
    out.close();
    if (!out)
        throw EFileError("Die Datei \"" + path.string() + "\" konnte nicht geschrieben werden.");
    return path;
}

void TRunReport::Add(std::vector<std::pair<std::string, long long>>& list, const std::string& name,
                     long long n) {
    for (auto& [k, v] : list)
        if (k == name) {
            v += n;
            return;
        }
    list.emplace_back(name, n);
}

std::string RefusedRowsNotice(std::size_t count, const std::filesystem::path& reportPath) {
    if (count == 0)
        return {};
    std::string text = count == 1
                           ? "1 Datensatz wurde von der Datenbank abgewiesen und nicht übernommen."
                           : FormatThousands(static_cast<long long>(count)) +
                                 " Datensätze wurden von der Datenbank abgewiesen und nicht übernommen.";
    if (!reportPath.empty())
        text += "\r\nSie sind aufgeführt in:\r\n" + reportPath.string();
    return text;
}

std::string FormatThousands(long long n, char thousandSeparator) {
    bool negative = n < 0;
    unsigned long long u =
        negative ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    std::string digits = std::to_string(u);
    std::string out;
    int lead = static_cast<int>(digits.size() % 3);
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (i + 3 - static_cast<size_t>(lead)) % 3 == 0 && thousandSeparator)
            out += thousandSeparator;
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

} // namespace zbpv
