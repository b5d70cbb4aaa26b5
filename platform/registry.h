#pragma once
// Read-only access to HKEY_LOCAL_MACHINE, the only hive the wizard reads.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zbpv {

// The value types a Windows registry knows (the numbers of its REG_* constants).
enum class RegType : std::uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    DWord = 4,
    DWordBigEndian = 5,
    Link = 6,
    MultiString = 7,
    QWord = 11,
};

struct RegValue {
    RegType type = RegType::None;
    std::vector<std::uint8_t> data; // as Windows stores it: strings are UTF-16LE with their terminator

    // Text of a String or ExpandString value (UTF-8, unexpanded, without terminator); nothing otherwise.
    std::optional<std::string> AsString() const;
    // DWord, big-endian DWord or QWord value.
    std::optional<std::uint64_t> AsInteger() const;
    // The parts of a MultiString value.
    std::vector<std::string> AsStrings() const;

    static RegValue FromString(std::string_view utf8, RegType type = RegType::String);
    static RegValue FromDWord(std::uint32_t value);
};

class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // The full path of the key as opened (after any 32-bit redirection).
    virtual std::string Path() const = 0;
    virtual bool ValueExists(std::string_view name) const = 0;
    // The value of that name ("" is the default value); nothing when there is none.
    virtual std::optional<RegValue> ReadValue(std::string_view name) const = 0;
    // Names of the direct subkeys, in the order the registry holds them.
    virtual std::vector<std::string> SubKeyNames() const = 0;

    // The text of a string value; nothing when missing or of another type.
    std::optional<std::string> ReadString(std::string_view name) const;
};

class Registry {
public:
    virtual ~Registry() = default;
    // Opens a key below HKEY_LOCAL_MACHINE ("Software\\Maker\\Product", letter case ignored) for
    // reading; nothing when it does not exist.
    virtual std::unique_ptr<RegistryKey> OpenKeyReadOnly(std::string_view path) const = 0;
};

} // namespace zbpv
