#pragma once
// A throw-away Wine prefix and home folder per test, and a platform with a fixed name and address.

#include "app/app_folders.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace zbpv {
namespace fs = std::filesystem;
}

namespace zbpv::test {

namespace fs = std::filesystem;

class FixedPlatform : public WinePlatform {
public:
    using WinePlatform::WinePlatform;
    std::string ComputerName() const override { return computerName; }
    std::optional<std::string> OwnIPv4Address() const override { return address; }

    std::string computerName = "BUERO1";
    std::optional<std::string> address = "192.168.1.5";
};

class PrefixFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::path(::testing::TempDir()) / ("zbpv_" + std::string(info->test_suite_name()) + "_" +
                                                  info->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        prefix_ = root_ / "prefix";
        fs::create_directories(prefix_ / "drive_c" / "users" / "Public" / "Documents");
        fs::create_directories(prefix_ / "dosdevices");
        fs::create_directory_symlink("../drive_c", prefix_ / "dosdevices" / "c:");
        folders_.homeDir = root_ / "home";
        folders_.programDir = root_ / "bin";
        fs::create_directories(folders_.homeDir);
        fs::create_directories(folders_.programDir);
        platform_ = std::make_unique<FixedPlatform>(WinePrefix(prefix_));
    }
    void TearDown() override { fs::remove_all(root_); }

    // The registry text after the header; keys as Wine writes them (doubled backslashes).
    void WriteRegistry(const std::string& body) {
        std::ofstream(prefix_ / "system.reg", std::ios::binary)
            << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
            << body;
        platform_ = std::make_unique<FixedPlatform>(WinePrefix(prefix_)); // the registry is read once
    }

    // A file below drive_c ("ZB7/Zarvobil.ini"), folders created; returns its host path.
    fs::path WriteC(const std::string& relative, const std::string& content) {
        fs::path p = prefix_ / "drive_c" / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    fs::path MakeDirC(const std::string& relative) {
        fs::path p = prefix_ / "drive_c" / relative;
        fs::create_directories(p);
        return p;
    }
    static void WriteFile(const fs::path& p, const std::string& content) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }
    static std::string ReadFile(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The host path of C:\<relative> as the platform maps it.
    std::string HostC(const std::string& relative) const {
        return (fs::canonical(prefix_ / "drive_c") / relative).string();
    }

    fs::path root_;
    fs::path prefix_;
    AppFolders folders_;
    std::unique_ptr<FixedPlatform> platform_;
};

} // namespace zbpv::test
