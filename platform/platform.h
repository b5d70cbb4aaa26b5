#pragma once
// Everything the wizard needs of the operating system, behind one object so tests can swap it.

#include "platform/registry.h"
#include "platform/wine_prefix.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zbpv {

class Platform {
public:
    virtual ~Platform() = default;

    virtual const Registry& LocalMachine() const = 0;
    // A path as the old programs wrote it ("C:\\ZB7\\Daten") mapped to the host; a text that is no
    // Windows path, or whose drive is unknown, comes back unchanged.
    virtual std::string HostPath(std::string_view path) const = 0;
    // The computer name (section name of the product ini).
    virtual std::string ComputerName() const = 0;
    // The first IPv4 address of the local host name.
    virtual std::optional<std::string> OwnIPv4Address() const = 0;
    // The common documents folder of all users ("C:\\users\\Public\\Documents" in the prefix).
    virtual std::filesystem::path CommonDocumentsFolder() const = 0;
    virtual std::filesystem::path UserDocumentsFolder() const = 0;
};

// The real machine: the registry and drives of a Wine prefix, the host's name and address.
class WinePlatform : public Platform {
public:
    explicit WinePlatform(WinePrefix prefix);
    static std::unique_ptr<WinePlatform> FromEnvironment();

    const WinePrefix& Prefix() const { return prefix_; }

    const Registry& LocalMachine() const override;
    std::string HostPath(std::string_view path) const override;
    std::string ComputerName() const override;
    std::optional<std::string> OwnIPv4Address() const override;
    std::filesystem::path CommonDocumentsFolder() const override;
    std::filesystem::path UserDocumentsFolder() const override;

private:
    WinePrefix prefix_;
    mutable std::unique_ptr<Registry> registry_; // read on first use
};

// The process's platform: a WinePlatform from the environment unless one was installed.
Platform& CurrentPlatform();
// Installs a platform (tests, the command line's prefix option); returns the previous one.
std::unique_ptr<Platform> SetCurrentPlatform(std::unique_ptr<Platform> platform);

} // namespace zbpv
