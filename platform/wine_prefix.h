#pragma once
// The old Windows world on this machine: a Wine prefix with its registry files and drive letters.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zbpv {

class WinePrefix {
public:
    explicit WinePrefix(std::filesystem::path root);
    // $WINEPREFIX, else ~/.wine.
    static WinePrefix FromEnvironment();

    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path SystemRegFile() const { return root_ / "system.reg"; }

    // "C:\\ZB7\\Daten" (also with forward slashes) -> the host path through dosdevices/c:, each further
    // component found without regard to case. UNC paths go through dosdevices/unc. Nothing when the
    // text is no Windows path or its drive is not mapped.
    std::optional<std::filesystem::path> ToHostPath(std::string_view windowsPath) const;

    // The host folder of a drive letter ("c"), symbolic links resolved.
    std::optional<std::filesystem::path> DriveRoot(char letter) const;

private:
    std::filesystem::path root_;
};

// Whether the text starts like a Windows path ("X:\\", "X:/", "X:" alone or "\\\\server\\share").
bool IsWindowsPath(std::string_view text);

} // namespace zbpv
