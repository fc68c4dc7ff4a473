#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/FileModes.h"
#include "support/TempDir.h"

namespace varnel::platform {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct ReadCase {
  const char* name;
  const char* file;
  const char* section;
  const char* key;
  const char* expected;
};

class ProfileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, GivesValueOrDefault) {
  TempDir dir;
  const ReadCase& c = GetParam();
  WriteFile(dir.File("a.ini"), c.file);
  EXPECT_EQ(c.expected, ReadProfileString(dir.File("a.ini"), c.section, c.key, "DEF", 256));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileRead,
    ::testing::Values(
        ReadCase{"plain", "[Main]\nKey=value\n", "Main", "Key", "value"},
        ReadCase{"section_case", "[mAIN]\nKey=value\n", "Main", "Key", "value"},
        ReadCase{"key_case", "[Main]\nkEY=value\n", "Main", "Key", "value"},
        ReadCase{"spaces_dropped", "[Main]\n  Key  =   two words  \n", "Main", "Key", "two words"},
        ReadCase{"tabs_dropped", "[Main]\n\tKey\t=\tv\t\n", "Main", "Key", "v"},
        ReadCase{"double_quotes", "[Main]\nKey=\" padded \"\n", "Main", "Key", " padded "},
        ReadCase{"single_quotes", "[Main]\nKey='x'\n", "Main", "Key", "x"},
        ReadCase{"one_pair_only", "[Main]\nKey=\"\"x\"\"\n", "Main", "Key", "\"x\""},
        ReadCase{"unbalanced_quote_kept", "[Main]\nKey=\"x\n", "Main", "Key", "\"x"},
        ReadCase{"empty_value", "[Main]\nKey=\n", "Main", "Key", ""},
        ReadCase{"missing_key", "[Main]\nOther=1\n", "Main", "Key", "DEF"},
        ReadCase{"missing_section", "[Other]\nKey=1\n", "Main", "Key", "DEF"},
        ReadCase{"key_in_other_section", "[A]\nKey=a\n[Main]\nX=1\n[B]\nKey=b\n", "Main", "Key", "DEF"},
        ReadCase{"first_of_duplicates", "[Main]\nKey=1\nKey=2\n", "Main", "Key", "1"},
        ReadCase{"crlf", "[Main]\r\nKey=value\r\n", "Main", "Key", "value"},
        ReadCase{"no_final_newline", "[Main]\nKey=value", "Main", "Key", "value"},
        ReadCase{"line_without_equals", "[Main]\nKey\nKey=v\n", "Main", "Key", "v"},
        ReadCase{"comment_line", "[Main]\n;Key=c\nKey=v\n", "Main", "Key", "v"},
        ReadCase{"equals_in_value", "[Main]\nKey=a=b\n", "Main", "Key", "a=b"},
        ReadCase{"section_spaces", "[ Main ]\nKey=v\n", "Main", "Key", "v"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Profile, MissingFileGivesDefaults) {
  TempDir dir;
  EXPECT_EQ("DEF", ReadProfileString(dir.File("none.ini"), "Main", "Key", "DEF", 256));
  EXPECT_EQ(42, ReadProfileInt(dir.File("none.ini"), "Main", "Key", 42));
}

TEST(Profile, ValueIsCutToBufferLessOne) {
  TempDir dir;
  WriteFile(dir.File("a.ini"), "[Main]\nKey=" + std::string(300, 'x') + "\n");
  EXPECT_EQ(std::string(255, 'x'), ReadProfileString(dir.File("a.ini"), "Main", "Key", "", 256));
  EXPECT_EQ("dd", ReadProfileString(dir.File("a.ini"), "Main", "Nope", "ddd", 3));
}

TEST(Profile, IntegerParsing) {
  EXPECT_EQ(12, ParseProfileInt("12", 7));
  EXPECT_EQ(-12, ParseProfileInt("-12", 7));
  EXPECT_EQ(12, ParseProfileInt("+12", 7));
  EXPECT_EQ(44100, ParseProfileInt("44100 Hz", 7));
  EXPECT_EQ(0, ParseProfileInt("0.05", 7));
  EXPECT_EQ(1, ParseProfileInt("1.9", 7));
  EXPECT_EQ(0, ParseProfileInt("abc", 7));
  EXPECT_EQ(0, ParseProfileInt("0x10", 7));
  EXPECT_EQ(0, ParseProfileInt("-", 7));
  EXPECT_EQ(7, ParseProfileInt("", 7));
  EXPECT_EQ(INT32_MAX, ParseProfileInt("99999999999999999999", 7));
  EXPECT_EQ(INT32_MIN, ParseProfileInt("-99999999999999999999", 7));
}

TEST(Profile, ReadIntUsesQuotesAndDefault) {
  TempDir dir;
  WriteFile(dir.File("a.ini"), "[Main]\nA=\"5\"\nB=\nC=x\n");
  EXPECT_EQ(5, ReadProfileInt(dir.File("a.ini"), "Main", "A", 9));
  EXPECT_EQ(9, ReadProfileInt(dir.File("a.ini"), "Main", "B", 9));
  EXPECT_EQ(0, ReadProfileInt(dir.File("a.ini"), "Main", "C", 9));
}

TEST(Profile, WriteCreatesFileSectionAndKey) {
  TempDir dir;
  const std::string path = dir.File("new.ini");
  ASSERT_TRUE(WriteProfileString(path, "Main", "A", "1"));
  ASSERT_TRUE(WriteProfileString(path, "Main", "B", "2"));
  ASSERT_TRUE(WriteProfileString(path, "Other", "C", "3"));
  EXPECT_EQ("[Main]\nA=1\nB=2\n[Other]\nC=3\n", ReadFile(path));
}

TEST(Profile, WriteReplacesInPlaceAndKeepsEveryOtherLine) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  const std::string before =
      "; my notes\r\n[Main]\r\nUnknown = keep me\r\n  key = old value  \r\n\r\n[Other]\r\nX=1\r\n";
  WriteFile(path, before);
  ASSERT_TRUE(WriteProfileString(path, "MAIN", "Key", "new"));
  EXPECT_EQ("; my notes\r\n[Main]\r\nUnknown = keep me\r\n  key =new\r\n\r\n[Other]\r\nX=1\r\n", ReadFile(path));
  ASSERT_TRUE(WriteProfileString(path, "Main", "Added", "a"));
  EXPECT_EQ("; my notes\r\n[Main]\r\nUnknown = keep me\r\n  key =new\r\nAdded=a\r\n\r\n[Other]\r\nX=1\r\n",
            ReadFile(path));
}

TEST(Profile, WriteAfterLastLineWithoutNewline) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  WriteFile(path, "[Main]\nA=1");
  ASSERT_TRUE(WriteProfileString(path, "Main", "B", "2"));
  EXPECT_EQ("[Main]\nA=1\nB=2\n", ReadFile(path));
  WriteFile(path, "[Other]\nA=1");
  ASSERT_TRUE(WriteProfileString(path, "Main", "B", "2"));
  EXPECT_EQ("[Other]\nA=1\n[Main]\nB=2\n", ReadFile(path));
}

TEST(Profile, ValueWithLineBreakStaysOnItsLine) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  ASSERT_TRUE(WriteProfileString(path, "Main", "A", "one\n[Evil]\nB=2"));
  EXPECT_EQ("one", ReadProfileString(path, "Main", "A", "", 256));
  EXPECT_EQ("", ReadProfileString(path, "Evil", "B", "", 256));
}

TEST(Profile, FailedWriteLeavesPreviousFile) {
  TempDir dir;
  const std::string folder = dir.File("gone");
  EXPECT_FALSE(WriteProfileString(folder + "/a.ini", "Main", "A", "1"));

  // A folder we may not write into: the rewrite cannot even start.
  const std::string ro = dir.File("ro");
  ASSERT_TRUE(std::filesystem::create_directory(ro));
  WriteFile(ro + "/a.ini", "[Main]\nA=old\n");
  test::SetFileMode(ro, 0555);
  if (test::FileModesApply()) {
    EXPECT_FALSE(WriteProfileString(ro + "/a.ini", "Main", "A", "new"));
  }
  EXPECT_EQ("[Main]\nA=", ReadFile(ro + "/a.ini").substr(0, 9));
  test::SetFileMode(ro, 0755);
}

TEST(Profile, BinaryJunkAndHugeFilesDoNotBreakReading) {
  TempDir dir;
  const std::string path = dir.File("junk.ini");
  std::string junk;
  for (int i = 0; i < 4 * 1024 * 1024; ++i) junk.push_back(static_cast<char>((i * 7919) & 0xFF));
  junk += "\n[Main]\nKey=found\n";
  WriteFile(path, junk);
  EXPECT_EQ("found", ReadProfileString(path, "Main", "Key", "", 256));
  ASSERT_TRUE(WriteProfileString(path, "Main", "Key", "again"));
  EXPECT_EQ("again", ReadProfileString(path, "Main", "Key", "", 256));
  EXPECT_EQ(junk.size(), ReadFile(path).size());
}

TEST(Profile, EmbeddedNulEndsTheValue) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  WriteFile(path, std::string("[Main]\nKey=ab\0cd\n", 17));
  EXPECT_EQ("ab", ReadProfileString(path, "Main", "Key", "", 256));
}

}  // namespace
}  // namespace varnel::platform

namespace varnel::platform {
namespace {

TEST(ProfileEdit, SeveralWritesLandInOneRewrite) {
  test::TempDir dir;
  const std::string path = dir.File("batch.ini");
  test::WriteFile(path, "; kept\r\n[A]\r\nx=1\r\n");
  ProfileEdit edit(path);
  edit.WriteString("a", "X", "2");
  edit.WriteString("B", "y", "3");
  EXPECT_EQ("; kept\r\n[A]\r\nx=1\r\n", test::ReadFile(path));  // nothing before Commit
  ASSERT_TRUE(edit.Commit());
  EXPECT_EQ("; kept\r\n[A]\r\nx=2\r\n[B]\r\ny=3\r\n", test::ReadFile(path));
  EXPECT_EQ(3, ReadProfileInt(path, "b", "Y", 0));
}

TEST(ProfileEdit, AnUnreadableFileIsNeverReplaced) {
  if (!test::FileModesApply()) GTEST_SKIP() << "no file mode keeps this process out";
  test::TempDir dir;
  const std::string path = dir.File("locked.ini");
  test::WriteFile(path, "[A]\nx=1\n");
  test::SetFileMode(path, 0200);
  ProfileEdit edit(path);
  edit.WriteString("A", "x", "2");
  EXPECT_FALSE(edit.Commit());
  test::SetFileMode(path, 0600);
  EXPECT_EQ("[A]\nx=1\n", test::ReadFile(path));
}

}  // namespace
}  // namespace varnel::platform
