#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zbpv {

// The folder the program writes its files into (options file, logs, the "Log" folder): the folder
// named by the environment variable ZBPV_HOME, else ~/.local/share/zbpv. Created with its parents when
// missing; a folder that cannot be created is not reported here, writing into it fails later.
std::filesystem::path ProgramFolder();

// The folder of the running executable.
std::filesystem::path ExecutableFolder();

// The running program's file name without folder and extension ("zbpv-import").
std::string ProgramName();

// A file the program only reads from its own folder (a product ini, "Data.ini"): looked up beside the
// executable, then in ProgramFolder(). No value when neither has it.
std::optional<std::filesystem::path> FindProgramFile(std::string_view name);

} // namespace zbpv
