#pragma once
// The old products ran on a file system that ignores letter case; their tables, ini and form files are
// named in any case ("KUNDEN.DB", "Kunden.db"), so every lookup of such a name goes through here.

#include <filesystem>
#include <optional>
#include <string_view>

namespace zbpv {

// The entry of `folder` whose name equals `name` ignoring ASCII letter case; an exact match wins.
std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      std::string_view name);

// `path` with every component that does not exist as written replaced by an existing entry of the same
// name in another letter case; components that exist in no case are kept as written.
std::filesystem::path ResolveIgnoringCase(const std::filesystem::path& path);

// A regular file of that name (case ignored) in `folder`.
bool FileExistsIgnoringCase(const std::filesystem::path& folder, std::string_view name);

// Whether `folder` holds a regular file whose extension (after the last ".") equals `ext`, case ignored.
bool FolderHasFileWithExtension(const std::filesystem::path& folder, std::string_view ext);

bool SameTextAscii(std::string_view a, std::string_view b);

} // namespace zbpv
