#pragma once
// A temporary folder per test, and a snapshot of its files to prove that reading changes nothing.

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace zbpv::pxtest {

class TempFolder {
public:
    TempFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "pxtest-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

// File name -> (contents, modification time).
inline std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>>
Snapshot(const std::string& dir) {
    std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> m;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        m[e.path().filename().string()] = {ReadAll(e.path().string()), e.last_write_time()};
    return m;
}

} // namespace zbpv::pxtest
