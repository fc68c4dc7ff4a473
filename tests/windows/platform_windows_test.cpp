#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/RiffFile.h"
#include "support/TempDir.h"
#include "ui/Messages.h"
#include "ui/win32/WindowMessageLoop.h"
//
#include "platform/win32/WindowsApi.h"

namespace varnel::platform {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The name as the system's wide functions see it.
bool WideNameExists(const std::string& folder, const std::wstring& name) {
  std::wstring pattern(folder.begin(), folder.end());
  pattern += L"\\*";
  WIN32_FIND_DATAW found{};
  HANDLE h = ::FindFirstFileW(pattern.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool seen = false;
  do seen = seen || name == found.cFileName;
  while (::FindNextFileW(h, &found));
  ::FindClose(h);
  return seen;
}

TEST(WindowsFiles, TheManifestMakesTheAnsiFunctionsUtf8) {
  EXPECT_EQ(CP_UTF8, ::GetACP());
  TempDir dir;
  const std::string name = "Mess\xc3\xbc\xe6\x97\xa5.wav";  // "Messü日.wav"
  WriteFile(dir.File(name), "x");
  RiffFile file;
  ASSERT_TRUE(file.Open(dir.File(name), RiffFile::Mode::kReadWrite));
  EXPECT_EQ(1u, file.FileSize());
  file.Close();
  EXPECT_TRUE(WideNameExists(dir.Path(), L"Mess\u00fc\u65e5.wav"));
  ASSERT_TRUE(RenameFile(dir.File(name), dir.File("\xc3\xa5.wav"), false));
  EXPECT_TRUE(WideNameExists(dir.Path(), L"\u00e5.wav"));
}

TEST(WindowsFiles, ReservedNamesAreMadeByTheSystem) {
  TempDir dir;
  const std::string a = ReserveUniqueFileName(dir.Path(), "wav");
  const std::string b = ReserveUniqueFileName(dir.Path(), "wav");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  const std::string_view file = FileNameOf(a);
  EXPECT_EQ("wav", file.substr(0, 3));
  EXPECT_EQ(".tmp", file.substr(file.size() - 4));
  EXPECT_EQ(dir.Path(), FolderOf(a));
  EXPECT_TRUE(FileExists(a));
  EXPECT_EQ("", ReserveUniqueFileName(dir.File("absent"), "wav"));
}

TEST(WindowsFiles, RenameAndCopyReplaceOnlyWhenAsked) {
  TempDir dir;
  WriteFile(dir.File("a"), "new");
  WriteFile(dir.File("b"), "old");
  EXPECT_FALSE(RenameFile(dir.File("a"), dir.File("b"), false));
  EXPECT_EQ("old", ReadFile(dir.File("b")));
  EXPECT_TRUE(CopyFileReplacing(dir.File("a"), dir.File("b")));
  EXPECT_EQ("new", ReadFile(dir.File("b")));
  EXPECT_TRUE(RenameFile(dir.File("a"), dir.File("c"), true));
  EXPECT_FALSE(FileExists(dir.File("a")));
  EXPECT_FALSE(CopyFileReplacing(dir.File("a"), dir.File("b")));
  EXPECT_EQ("new", ReadFile(dir.File("b")));
}

struct PathCase {
  const char* path;
  const char* folder;
  const char* file;
};

TEST(WindowsFiles, BackslashPaths) {
  EXPECT_EQ('\\', kPathSeparator);
  EXPECT_EQ("c:\\orvanta\\wave", DefaultDataFolder("wave"));
  EXPECT_EQ("c:\\orvanta\\cal", DefaultDataFolder("cal"));
  EXPECT_EQ("c:\\a\\b.wav", JoinPath("c:\\a", "b.wav"));
  EXPECT_EQ("c:\\a\\b.wav", JoinPath("c:\\a\\", "b.wav"));
  for (const PathCase& c : {PathCase{"c:\\a\\b.wav", "c:\\a", "b.wav"}, PathCase{"c:\\b.wav", "c:\\", "b.wav"},
                            PathCase{"c:/a/b.wav", "c:/a", "b.wav"}, PathCase{"b.wav", "", "b.wav"}}) {
    EXPECT_EQ(c.folder, FolderOf(c.path)) << c.path;
    EXPECT_EQ(c.file, FileNameOf(c.path)) << c.path;
  }
  for (const char* bad : {"a:b", "a\\b", "a/b", "a?", "a*", "a|b", "a.", "", "..", "con\x01"})
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  EXPECT_TRUE(IsPlainFileName("Mic A_1"));
}

TEST(WindowsFiles, DeviceNamesAreReservedWithAnyExtensionAndCaseIsTheFileSystems) {
  for (const char* reserved : {"CON", "con", "Prn.wav", "aux.tar.gz", "NUL", "nul .wav", "COM1", "com9.left", "COM0",
                               "LPT5", "lpt1.x", "COM\xc2\xb9", "LPT\xc2\xb3.wav"})
    EXPECT_TRUE(IsReservedFileName(reserved)) << reserved;
  for (const char* free : {"CONSOLE", "NULL", "xNUL", "COM", "COM10", "LPT", "LPTX", "Mic", "com\xc2\xb4", "AUX_1"})
    EXPECT_FALSE(IsReservedFileName(free)) << free;

  EXPECT_TRUE(SameFileName("Mic", "MIC"));
  EXPECT_TRUE(
      SameFileName("\xc3\x84"
                   "1",
                   "\xc3\xa4"
                   "1"));  // "Ä1", "ä1"
  EXPECT_FALSE(SameFileName("Mic 1", "Mic 2"));
  // As the file system itself compares them.
  TempDir dir;
  WriteFile(dir.File("\xc3\x84"
                     "1.wav"),
            "x");
  EXPECT_TRUE(
      FileExists(dir.File("\xc3\xa4"
                          "1.wav")));
}

// A recorder's journal: nobody else deletes, renames or replaces it while it
// is held, everybody can read it.
TEST(WindowsFiles, AHeldFileIsReadableButNeitherDeletedNorReplaced) {
  TempDir dir;
  const std::string path = dir.File("journal.ini");
  WriteFile(dir.File("other"), "other");
  {
    FileLock lock;
    ASSERT_TRUE(lock.WriteDurably(path, "held", false));
    EXPECT_FALSE(DeleteFile(path));
    EXPECT_FALSE(RenameFile(path, dir.File("moved"), false));
    EXPECT_FALSE(RenameFile(dir.File("other"), path, true));
    EXPECT_EQ("held", ReadRegularFile(path).value_or(""));
  }
  EXPECT_TRUE(DeleteFile(path));
}

TEST(WindowsFiles, CreateFoldersMakesEveryLevel) {
  TempDir dir;
  const std::string deep = JoinPath(JoinPath(dir.File("x"), "y"), "z");
  EXPECT_TRUE(CreateFolders(deep));
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_TRUE(CreateFolders(deep));
}

TEST(WindowsFiles, TheProgramFolderHoldsThisProgram) {
  char self[MAX_PATH * 4];
  const DWORD n = ::GetModuleFileNameA(nullptr, self, sizeof self);
  EXPECT_EQ(FolderOf(std::string_view(self, n)), ExecutableFolder());
  EXPECT_TRUE(FileExists(JoinPath(ExecutableFolder(), "windows_tests.exe")));
}

TEST(WindowsClock, TicksFollowTheSystem) {
  SystemClock clock;
  const uint32_t before = clock.TickCount();
  clock.Sleep(100);
  EXPECT_GE(clock.TickCount() - before, 80u);  // Wine's tick moves in steps of about 16 ms
  const LocalTime now = clock.Now();
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  EXPECT_EQ(t.wYear, now.year);
  EXPECT_EQ(t.wMonth, now.month);
}

class Recorder : public ui::MessageHandler {
 public:
  intptr_t HandleMessage(const ui::Message& m) override {
    seen.push_back(m);
    return 0;
  }
  std::vector<ui::Message> seen;
};

TEST(WindowMessageLoop, MessagesPostedFromAnotherThreadArriveInOrder) {
  ui::WindowMessageLoop loop;
  ASSERT_TRUE(loop.Valid());
  ASSERT_NE(0, loop.NativeWindow());
  Recorder recorder;
  loop.SetHandler(&recorder);
  std::thread producer([&] {
    for (uintptr_t i = 0; i < 50; ++i) loop.Post({ui::kBufferDoneMessage, i, 0});
    loop.Post({ui::kBufferOverrunMessage, 0, 0});
  });
  producer.join();
  loop.DispatchPending();
  ASSERT_EQ(51u, recorder.seen.size());
  for (uintptr_t i = 0; i < 50; ++i) EXPECT_EQ(i, recorder.seen[i].wParam);
  EXPECT_EQ(ui::kBufferOverrunMessage, recorder.seen.back().id);
}

TEST(WindowMessageLoop, TimersArriveAsTimerMessagesUntilKilled) {
  ui::WindowMessageLoop loop;
  Recorder recorder;
  loop.SetHandler(&recorder);
  loop.SetTimer(101, 10);
  for (int i = 0; i < 1500 && recorder.seen.size() < 2; ++i) loop.WaitAndDispatch(20);
  loop.KillTimer(101);
  ASSERT_GE(recorder.seen.size(), 2u);
  EXPECT_EQ(0x0113u, recorder.seen[0].id);
  EXPECT_EQ(101u, recorder.seen[0].wParam);
  recorder.seen.clear();
  loop.DispatchPending();
  ::Sleep(40);
  loop.DispatchPending();
  EXPECT_TRUE(recorder.seen.empty());
}

}  // namespace
}  // namespace varnel::platform
