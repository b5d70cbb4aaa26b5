#pragma once
// HKEY_LOCAL_MACHINE as a Wine prefix keeps it: the text file system.reg.

#include "platform/registry.h"

#include <filesystem>
#include <map>

namespace zbpv {

class WineRegistry : public Registry {
public:
    // Reads the whole file once; a missing or unreadable file is an empty registry.
    explicit WineRegistry(const std::filesystem::path& systemReg);
    // Parses registry text directly (the contents of a system.reg file).
    static WineRegistry FromText(std::string_view text);

    // 32-bit programs on a 64-bit system see "Software\\Wow6432Node\\..." under "Software\\...":
    // the redirected key is preferred when it exists, so the old 32-bit products' keys are found in
    // either kind of prefix.
    std::unique_ptr<RegistryKey> OpenKeyReadOnly(std::string_view path) const override;

    struct Key {
        std::string path;                                     // as written in the file
        std::vector<std::pair<std::string, RegValue>> values; // in file order
    };

private:
    WineRegistry() = default;
    void Parse(std::string_view text);
    const Key* FindKey(const std::string& upperPath) const;
    bool HasDescendants(const std::string& upperPath) const;
    std::unique_ptr<RegistryKey> OpenExact(std::string_view path) const;

    std::map<std::string, Key> keys_; // by upper-case path
};

} // namespace zbpv
