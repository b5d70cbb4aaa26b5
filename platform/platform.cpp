#include "platform/platform.h"

#include "platform/host.h"
#include "platform/wine_registry.h"

#include <mutex>

namespace zbpv {

WinePlatform::WinePlatform(WinePrefix prefix) : prefix_(std::move(prefix)) {}

std::unique_ptr<WinePlatform> WinePlatform::FromEnvironment() {
    return std::make_unique<WinePlatform>(WinePrefix::FromEnvironment());
}

const Registry& WinePlatform::LocalMachine() const {
    if (!registry_) {
        registry_ = std::make_unique<WineRegistry>(prefix_.SystemRegFile());
    }
    return *registry_;
}

std::string WinePlatform::HostPath(std::string_view path) const {
    if (auto host = prefix_.ToHostPath(path)) {
        return host->string();
    }
    return std::string(path);
}

std::string WinePlatform::ComputerName() const {
    return WindowsComputerName(LocalHostName());
}

std::optional<std::string> WinePlatform::OwnIPv4Address() const {
    return LookupIPv4Address(LocalHostName());
}

std::filesystem::path WinePlatform::CommonDocumentsFolder() const {
    if (auto host = prefix_.ToHostPath("C:\\users\\Public\\Documents")) {
        return *host;
    }
    return prefix_.Root() / "drive_c" / "users" / "Public" / "Documents";
}

std::filesystem::path WinePlatform::UserDocumentsFolder() const {
    return zbpv::UserDocumentsFolder();
}

namespace {

std::mutex& PlatformMutex() {
    static std::mutex m;
    return m;
}

std::unique_ptr<Platform>& Installed() {
    static std::unique_ptr<Platform> p;
    return p;
}

} // namespace

Platform& CurrentPlatform() {
    std::lock_guard lock(PlatformMutex());
    if (!Installed()) {
        Installed() = WinePlatform::FromEnvironment();
    }
    return *Installed();
}

std::unique_ptr<Platform> SetCurrentPlatform(std::unique_ptr<Platform> platform) {
    std::lock_guard lock(PlatformMutex());
    std::unique_ptr<Platform> previous = std::move(Installed());
    Installed() = std::move(platform);
    return previous;
}

} // namespace zbpv
