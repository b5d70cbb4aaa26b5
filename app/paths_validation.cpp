#include "app/paths_validation.h"

#include "platform/file_lookup.h"
#include "platform/platform.h"
#include "support/ansi.h"

#include <filesystem>
#include <system_error>

namespace zbpv {

namespace fs = std::filesystem;

std::string NormalisePathText(std::string_view text) {
    std::string t = Trim(text);
    if (!t.empty() && (t.back() == '\\' || (t.back() == '/' && t.size() > 1))) {
        t.pop_back();
    }
    return t;
}

namespace {

// The product named in the messages of a selection.
std::string SourceProduct(int selection) {
    switch (selection) {
    case 1:
        return "Zarvo-Billora 7.0";
    case 16:
        return "Velkaro Postiverso 2.0";
    default:
        return "Zarvo-Billora 7.0/Velkaro Postiverso 2.0";
    }
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string VersionPair(const ProductVersion& v) {
    return std::to_string(v.Major) + "." + std::to_string(v.Minor);
}

} // namespace

std::optional<ValidationFailure> ValidatePathsPage(int selection, WizardBoxes& boxes,
                                                   const ProductVersion& inv, const ProductVersion& mail,
                                                   const Platform& platform) {
    auto normalise = [&](WizardBox box) -> std::string& {
        std::string& text = boxes[box].text;
        text = NormalisePathText(text);
        return text;
    };
    auto host = [&](const std::string& text) {
        return fs::path(platform.HostPath(text));
    };
    auto isDir = [&](const std::string& text) {
        std::error_code ec;
        return !text.empty() && fs::is_directory(host(text), ec);
    };
    const std::string product = SourceProduct(selection);
    const bool mailIncluded = selection == 16 || selection == 17;

    const std::string& data = normalise(WizardBox::DataPath);
    if (!isDir(data)) {
        return ValidationFailure{WizardBox::DataPath, "Das Datenverzeichnis von " + product +
                                                          " ist nicht vorhanden: " + Quoted(data) + "."};
    }
    if (!FileExistsIgnoringCase(host(data), "Kunden.DB")) {
        return ValidationFailure{WizardBox::DataPath,
                                 Quoted(data) + " ist kein gültiges Datenverzeichnis von " + product + "."};
    }
    if (mailIncluded) {
        const std::string& mailData = normalise(WizardBox::MailDataPath);
        if (!isDir(mailData)) {
            return ValidationFailure{
                WizardBox::MailDataPath,
                "Das Maildatenverzeichnis von Velkaro Postiverso 2.0 ist nicht vorhanden: " +
                    Quoted(mailData) + "."};
        }
        if (!FileExistsIgnoringCase(host(mailData), "MailEingang.DB")) {
            return ValidationFailure{
                WizardBox::MailDataPath,
                Quoted(mailData) + " ist kein gültiges Maildatenverzeichnis von Velkaro Postiverso 2.0."};
        }
        if (!boxes[WizardBox::UserPath].text.empty()) {
            const std::string& user = normalise(WizardBox::UserPath);
            if (!isDir(user)) {
                return ValidationFailure{
                    WizardBox::UserPath,
                    "Das Benutzerverzeichnis von Velkaro Postiverso 2.0 ist nicht vorhanden: " +
                        Quoted(user) + "."};
            }
        }
    }
    if (!boxes[WizardBox::FormPath].text.empty()) {
        const std::string& form = normalise(WizardBox::FormPath);
        if (!isDir(form)) {
            return ValidationFailure{WizardBox::FormPath, "Das Formularverzeichnis von " + product +
                                                              " ist nicht vorhanden: " + Quoted(form) + "."};
        }
        fs::path folder = host(form);
        if (!FolderHasFileWithExtension(folder, "LBL") && !FolderHasFileWithExtension(folder, "LSV") &&
            !FolderHasFileWithExtension(folder, "LST")) {
            return ValidationFailure{WizardBox::FormPath, Quoted(form) +
                                                              " ist kein gültiges Formularverzeichnis von " +
                                                              product + "."};
        }
    }
    std::string& server = boxes[WizardBox::DBServer].text;
    if (server.empty()) {
        server = "localhost";
    }
    std::string& dbName = boxes[WizardBox::DBName].text;
    if (dbName.empty()) {
        std::string which;
        if (selection == 1) {
            which = "Billora " + VersionPair(inv);
        } else if (selection == 16) {
            which = "Postiverso " + VersionPair(mail);
        } else {
            which = "Billora " + VersionPair(inv) + "/Postiverso " + VersionPair(mail);
        }
        return ValidationFailure{WizardBox::DBName,
                                 "Der Datenbankname von Velkaro " + which + " ist nicht vorhanden."};
    }
    std::string prefix = server + ":";
    if (dbName.size() >= prefix.size() &&
        AnsiSameText(Utf8ToAnsi(std::string_view(dbName).substr(0, prefix.size())), Utf8ToAnsi(prefix))) {
        dbName.erase(0, prefix.size());
    }
    return std::nullopt;
}

} // namespace zbpv
