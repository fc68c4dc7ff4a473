// Where the settings files live: beside a program whose folder this user may
// write (a build folder), else in the user's settings folder (a package).

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/SettingsFolder.h"
#include "support/FileModes.h"
#include "support/TempDir.h"

namespace varnel {
namespace {

// An environment variable set (or removed) for one test, as it was after.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedVariable() { Set(old_); }

 private:
  void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(name_, value ? value->c_str() : "");
#else
    if (value)
      ::setenv(name_, value->c_str(), 1);
    else
      ::unsetenv(name_);
#endif
  }
  const char* name_;
  std::optional<std::string> old_;
};

#ifdef _WIN32
constexpr const char* kUserVariable = "APPDATA";
constexpr const char* kUserFolder = "Varnel";
#else
constexpr const char* kUserVariable = "XDG_CONFIG_HOME";
constexpr const char* kUserFolder = "varnel";
#endif

TEST(SettingsFolder, AProgramFolderThisUserMayWriteKeepsTheSettings) {
  test::TempDir program;
  EXPECT_TRUE(platform::ProgramFolderTakesSettings(program.Path()));
  EXPECT_EQ(program.Path(), platform::SettingsFolderFor(program.Path()));
}

TEST(SettingsFolder, AProgramFolderThatCannotBeWrittenSendsThemToTheUsersFolder) {
  test::TempDir dir;
  const ScopedVariable user(kUserVariable, dir.File("config"));
  const std::string expected = platform::JoinPath(dir.File("config"), kUserFolder);
  EXPECT_EQ(expected, platform::UserSettingsFolder());
  EXPECT_EQ(expected, platform::SettingsFolderFor(dir.File("no such folder")));
  test::UnwritableFolder program(dir.File("bin"));
  if (!program.Made()) GTEST_SKIP() << program.Reason();
  EXPECT_FALSE(platform::ProgramFolderTakesSettings(dir.File("bin")));
  EXPECT_EQ(expected, platform::SettingsFolderFor(dir.File("bin")));
}

#ifndef _WIN32
TEST(SettingsFolder, TheSystemsProgramFoldersNeverTakeThemEvenFromRoot) {
  for (const char* folder : {"/usr/bin", "/usr/local/bin", "/bin", "/opt/varnel/bin"})
    EXPECT_FALSE(platform::ProgramFolderTakesSettings(folder)) << folder;
  test::TempDir dir;
  const ScopedVariable user("XDG_CONFIG_HOME", dir.Path());
  EXPECT_EQ(dir.File("varnel"), platform::SettingsFolderFor("/usr/bin"));
}

TEST(SettingsFolder, TheUsersFolderFollowsXdgConfigHomeThenHome) {
  const ScopedVariable home("HOME", "/home/someone");
  {
    const ScopedVariable config("XDG_CONFIG_HOME", "/elsewhere/config");
    EXPECT_EQ("/elsewhere/config/varnel", platform::UserSettingsFolder());
  }
  for (std::optional<std::string> config :
       {std::optional<std::string>{}, std::optional<std::string>{""}, std::optional<std::string>{"relative/config"}}) {
    const ScopedVariable unset("XDG_CONFIG_HOME", config);
    EXPECT_EQ("/home/someone/.config/varnel", platform::UserSettingsFolder()) << config.value_or("(unset)");
  }
  const ScopedVariable noConfig("XDG_CONFIG_HOME", std::nullopt);
  const ScopedVariable noHome("HOME", std::nullopt);
  EXPECT_EQ("", platform::UserSettingsFolder());
  EXPECT_EQ("/usr/bin", platform::SettingsFolderFor("/usr/bin")) << "nowhere else to go";
}
#endif

}  // namespace
}  // namespace varnel
