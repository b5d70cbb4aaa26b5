#include "dbaccess/paradox/px_files.h"

#include "dbaccess/paradox/px_errors.h"
#include "support/ansi.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zbpv {

std::vector<std::string> PxListFolder(const std::string& folder) {
    const std::string dir = folder.empty() ? std::string(".") : folder;
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw EParadoxError("Das Verzeichnis \"" + folder + "\" existiert nicht.");
    DIR* d = opendir(dir.c_str());
    if (!d)
        throw EParadoxError("Auf das Verzeichnis \"" + folder +
                            "\" kann nicht zugegriffen werden: " + std::string(std::strerror(errno)));
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.' && (e->d_name[1] == 0 || (e->d_name[1] == '.' && e->d_name[2] == 0)))
            continue;
        names.emplace_back(e->d_name);
    }
    closedir(d);
    return names;
}

std::string PxMatchName(const std::vector<std::string>& names, const std::string& wanted) {
    for (const auto& n : names)
        if (n == wanted)
            return n;
    const std::string w = Utf8ToAnsi(wanted);
    for (const auto& n : names)
        if (AnsiSameText(Utf8ToAnsi(n), w))
            return n;
    return {};
}

std::string PxJoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

PxMappedFile::PxMappedFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT)
            throw EParadoxError("Die Datei \"" + path + "\" existiert nicht.");
        if (err == EACCES || err == EPERM)
            throw EParadoxError("Auf die Datei \"" + path +
                                "\" kann nicht zugegriffen werden (Zugriff verweigert).");
        throw EParadoxError("Die Datei \"" + path +
                            "\" kann nicht geöffnet werden: " + std::string(std::strerror(err)));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw EParadoxError("Die Datei \"" + path + "\" kann nicht gelesen werden.");
    // Another program holding a write lock on the file has it open exclusively.
    struct flock fl {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    if (fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK)
        throw EParadoxError("Die Datei \"" + path + "\" ist von einem anderen Programm gesperrt.");
    size_ = static_cast<size_t>(st.st_size);
    if (size_ == 0)
        return;
    void* m = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (m == MAP_FAILED)
        throw EParadoxError("Die Datei \"" + path +
                            "\" kann nicht gelesen werden: " + std::string(std::strerror(errno)));
    madvise(m, size_, MADV_SEQUENTIAL);
    map_ = m;
    data_ = static_cast<const uint8_t*>(m);
}

void PxMappedFile::DropPages() const {
    // The mapping is private and never written, so every page it drops is read back unchanged.
    if (map_)
        madvise(map_, size_, MADV_DONTNEED);
}

void PxMappedFile::Release() {
    if (map_)
        munmap(map_, size_);
    map_ = nullptr;
    data_ = nullptr;
    size_ = 0;
}

PxMappedFile::~PxMappedFile() {
    Release();
}

PxMappedFile::PxMappedFile(PxMappedFile&& o) noexcept : data_(o.data_), size_(o.size_), map_(o.map_) {
    o.data_ = nullptr;
    o.size_ = 0;
    o.map_ = nullptr;
}

PxMappedFile& PxMappedFile::operator=(PxMappedFile&& o) noexcept {
    if (this != &o) {
        Release();
        data_ = o.data_;
        size_ = o.size_;
        map_ = o.map_;
        o.data_ = nullptr;
        o.size_ = 0;
        o.map_ = nullptr;
    }
    return *this;
}

} // namespace zbpv
