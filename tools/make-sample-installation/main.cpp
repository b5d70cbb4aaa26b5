// make-sample-installation DIR [--scale N] [--with-duplicates]: writes a generated old installation
// (both old products' data and mail-data folders, their ini files and the registry of a Wine prefix)
// below DIR, for trying the migration and for benchmarks.

#include "tools/make-sample-installation/sample_installation.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    zbpv::TSampleOptions options;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << "Aufruf: make-sample-installation VERZEICHNIS [--scale N] [--with-duplicates]\n"
                         "Legt eine Beispiel-Altinstallation (Datenverzeichnis, Maildaten, Ini-Dateien und\n"
                         "Registry eines Wine-Präfixes unter VERZEICHNIS/wine) an.\n";
            return 0;
        }
        if (a == "--scale" && i + 1 < argc) {
            char* end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 1 || n > 100000) {
                std::cerr << "Ungültiger Wert für --scale: " << argv[i] << "\n";
                return 2;
            }
            options.Scale = static_cast<int>(n);
        } else if (a == "--with-duplicates") {
            options.WithDuplicateNumbers = true;
        } else if (!a.empty() && a[0] != '-' && dir.empty()) {
            dir = a;
        } else {
            std::cerr << "Unbekanntes Argument: " << a << "\n";
            return 2;
        }
    }
    if (dir.empty()) {
        std::cerr << "Aufruf: make-sample-installation VERZEICHNIS [--scale N] [--with-duplicates]\n";
        return 2;
    }
    try {
        zbpv::TSampleInstallation inst = zbpv::WriteSampleInstallation(dir, options);
        std::cout << "WINEPREFIX=" << inst.WinePrefix.string() << "\n";
        std::cout << "DataPath=" << inst.DataFolder.string() << "\n";
        std::cout << "MailDataPath=" << inst.MailFolder.string() << "\n";
        for (const auto& [file, n] : inst.Tables)
            std::cout << file << ": " << n << "\n";
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
