#include "support/program_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace zbpv {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zbpv_progfolder_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

TEST_F(ProgramFolderTest, EnvironmentNamesTheFolderElseTheUsersDataFolder) {
    {
        ScopedEnv home("ZBPV_HOME", (root_ / "own" / "zbpv").c_str());
        EXPECT_EQ(ProgramFolder(), root_ / "own" / "zbpv");
        EXPECT_TRUE(fs::is_directory(root_ / "own" / "zbpv"));
    }
    ScopedEnv noHome("ZBPV_HOME", "");
    ScopedEnv userHome("HOME", root_.c_str());
    EXPECT_EQ(ProgramFolder(), root_ / ".local" / "share" / "zbpv");
    EXPECT_TRUE(fs::is_directory(root_ / ".local" / "share" / "zbpv"));
}

TEST_F(ProgramFolderTest, ReadOnlyFilesAreFoundInTheProgramFolder) {
    ScopedEnv home("ZBPV_HOME", root_.c_str());
    EXPECT_EQ(FindProgramFile("Data.ini"), std::nullopt);
    std::ofstream(root_ / "Data.ini") << "[x]\n";
    EXPECT_EQ(FindProgramFile("Data.ini"), root_ / "Data.ini");
    EXPECT_FALSE(ProgramName().empty());
    EXPECT_TRUE(fs::is_directory(ExecutableFolder()));
}

} // namespace
} // namespace zbpv
