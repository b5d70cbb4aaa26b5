#pragma once
// File access for the reader: case-insensitive lookup in a folder and read-only mapped files.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zbpv {

// Names of the regular files in `folder` (as on disk). Throws EParadoxError when the folder is missing.
std::vector<std::string> PxListFolder(const std::string& folder);
// The entry of `names` equal to `wanted` ignoring letter case; empty when none.
std::string PxMatchName(const std::vector<std::string>& names, const std::string& wanted);
std::string PxJoinPath(const std::string& folder, const std::string& name);

// A whole file, opened read-only and mapped (or read for tiny ones); never locked or changed.
class PxMappedFile {
public:
    PxMappedFile() = default;
    // Throws EParadoxError: missing, no access, locked by another process.
    explicit PxMappedFile(const std::string& path);
    ~PxMappedFile();
    PxMappedFile(PxMappedFile&& o) noexcept;
    PxMappedFile& operator=(PxMappedFile&& o) noexcept;
    PxMappedFile(const PxMappedFile&) = delete;
    PxMappedFile& operator=(const PxMappedFile&) = delete;

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Gives the pages read so far back to the system; they come from the file again when next used.
    void DropPages() const;

private:
    void Release();
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    void* map_ = nullptr;
};

} // namespace zbpv
