#include "platform/host.h"

#include "platform/file_lookup.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <netdb.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <system_error>
#include <thread>

extern char** environ;

namespace zbpv {

namespace fs = std::filesystem;

std::string LocalHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

std::string WindowsComputerName(std::string_view hostName) {
    std::string name(hostName.substr(0, hostName.find('.')));
    if (name.size() > 15) {
        name.resize(15);
    }
    for (char& c : name) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

std::optional<std::string> LookupIPv4Address(std::string_view hostName) {
    if (hostName.empty()) {
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(std::string(hostName).c_str(), nullptr, &hints, &list) != 0 || !list) {
        return std::nullopt;
    }
    std::optional<std::string> result;
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET) {
            char text[INET_ADDRSTRLEN] = {};
            auto* in = reinterpret_cast<sockaddr_in*>(ai->ai_addr);
            if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) {
                result = text;
                break;
            }
        }
    }
    freeaddrinfo(list);
    return result;
}

bool OpenWithAssociatedProgram(const fs::path& file) {
    std::string arg = file.string();
    char* argv[] = {const_cast<char*>("xdg-open"), arg.data(), nullptr};
    pid_t opener = 0;
    if (posix_spawnp(&opener, "xdg-open", nullptr, nullptr, argv, environ) != 0) {
        return false;
    }
    // xdg-open hands the file on and ends; reap it without blocking the caller.
    std::thread([opener] {
        int status = 0;
        while (waitpid(opener, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

std::string NewGuid() {
    uuid_t id;
    uuid_generate_random(id);
    char text[37];
    uuid_unparse_upper(id, text);
    return std::string("{") + text + "}";
}

fs::path UserDocumentsFolder() {
    std::error_code ec;
    if (const char* docs = std::getenv("XDG_DOCUMENTS_DIR"); docs && *docs && fs::is_directory(docs, ec)) {
        return docs;
    }
    const char* home = std::getenv("HOME");
    fs::path base = home && *home ? fs::path(home) : fs::current_path(ec);
    if (fs::is_directory(base / "Documents", ec)) {
        return base / "Documents";
    }
    return base;
}

std::optional<fs::path> FindOnSearchPath(std::string_view fileName, const std::vector<fs::path>& folders) {
    std::error_code ec;
    for (const fs::path& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        if (auto hit = FindIgnoringCase(folder, fileName); hit && fs::is_regular_file(*hit, ec)) {
            return hit;
        }
    }
    return std::nullopt;
}

std::vector<fs::path> ExecutableSearchPath() {
    std::vector<fs::path> folders;
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        std::size_t colon = rest.find(':');
        folders.emplace_back(std::string(rest.substr(0, colon)));
        if (colon == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(colon + 1);
    }
    return folders;
}

} // namespace zbpv
