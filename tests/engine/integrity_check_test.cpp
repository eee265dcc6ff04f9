// Integrity checks of extracted descriptions, and the upkeep of a compose description's own size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ini_reader.h"
#include "base/strings.h"
#include "engine_test_util.h"
#include "engine/engine_codes.h"
#include "engine/integrity_check.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"

namespace engine {
namespace {

using testing_support::LogTail;
using engine_test::WriteUtf16File;
using testing_support::ReadBytes;

class IntegrityCheck : public testing::Test {
 protected:
  std::u16string Write(const std::string& text) {
    WriteUtf16File(path_, text);
    return path_;
  }
  size_t Size() const { return ReadBytes(path_).size(); }

  testing_support::ScratchDir dir_;
  std::u16string path_ = dir_.Join(u"desc.out");
};

// The text of a compose description whose FileSize is its own size in bytes.
std::string SelfSizedCompose(const std::string& rest) {
  // 2 bytes of byte-order mark, 2 bytes per character, CR added to every LF.
  const std::string head = "[Version]\nFileSize=";
  const std::string tail = "\n" + rest;
  const size_t units = 1 + head.size() + 10 + tail.size();
  size_t lines = 0;
  for (char c : head + tail) lines += c == '\n';
  char digits[16];
  std::snprintf(digits, sizeof digits, "%010zu", 2 * (units + lines));
  return head + digits + tail;
}

TEST_F(IntegrityCheck, ComposeSize) {
  const std::string whole = SelfSizedCompose("[HaveSection]\nCore=F\n");
  const struct {
    const char* name;
    std::string text;
    uint32_t code;
  } cases[] = {
      {"no FileSize", "[Version]\nCurVersion=1\n", kOk},
      {"FileSize 0", "[Version]\nFileSize=0000000000\n", kOk},
      {"own size", whole, kOk},
      {"size of another file", "[Version]\nFileSize=0000001234\n", kComposeSizeMismatch},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckCompose(Write(c.text).c_str()), c.code) << c.name;

  // One byte cut off the end: the recorded size no longer matches, and the log names both.
  Write(whole);
  std::vector<unsigned char> bytes = ReadBytes(path_);
  const size_t real = bytes.size() - 1;
  bytes.pop_back();
  testing_support::WriteBytes(path_, bytes);
  const LogTail log;
  EXPECT_EQ(CheckCompose(path_.c_str()), kComposeSizeMismatch);
  const std::string expected = "   error ,CheckCompose file real size =" + std::to_string(real) +
                               " not equal config size =" + std::to_string(real + 1) + "  inifile=";
  EXPECT_NE(log.Text().find(expected), std::string::npos) << log.Text();

  EXPECT_EQ(CheckCompose(dir_.Join(u"absent.out").c_str()), kComposeIniLoadFailed);
  EXPECT_EQ(CheckCompose(nullptr), kComposeIniLoadFailed);
}

TEST_F(IntegrityCheck, ProductMarker) {
  const std::string no_label = "error , Product ini no checkstring label,product ini =";
  const std::string wrong = "error , Product ini checkstring is not right,";
  const struct {
    const char* name;
    const char* text;
    uint32_t code;
    int32_t version;  // CurrentVer, read whatever the check finds
    std::vector<std::string> log;
  } cases[] = {
      {"check 0", "[Version]\nIsCheckString=0\nCurrentVer=9\n[End]\nCheckString=wrong\n", kOk, 9, {}},
      {"check 2", "[Version]\nIsCheckString=2\n", kOk, 0, {}},
      {"marker in another case", "[Version]\nIsCheckString=1\n[End]\nCheckString=checkfileokend\n", kOk, 0, {}},
      {"check with leading blank", "[Version]\nIsCheckString= 1\n[End]\nCheckString=CheckFileOKEnd\n", kOk, 0, {}},
      {"no End section", "[Version]\nIsCheckString=1\nCurrentVer=9\n", kCheckStringMissing, 9, {no_label}},
      {"empty marker", "[Version]\nIsCheckString=1\n[End]\nCheckString=\n", kCheckStringMissing, 0, {no_label}},
      {"wrong marker", "[Version]\nIsCheckString=1\nCurrentVer=9\n[End]\nCheckString=CheckFileOK\n",
       kCheckStringWrong, 9, {wrong + "product ini  =", wrong + "check string =CheckFileOK"}},
  };
  for (const auto& c : cases) {
    Write(c.text);
    const LogTail log;
    int32_t version = -1;
    EXPECT_EQ(CheckProductIni(path_.c_str(), &version), c.code) << c.name;
    EXPECT_EQ(version, c.version) << c.name;
    for (const std::string& line : c.log) {
      EXPECT_NE(log.Text().find(line), std::string::npos) << c.name << "\n" << log.Text();
    }
  }
  int32_t version = -1;
  EXPECT_EQ(CheckProductIni(dir_.Join(u"absent.out").c_str(), &version), kProductIniLoadFailed);
  EXPECT_EQ(version, -1);
  EXPECT_EQ(CheckProductIni(nullptr), kProductIniLoadFailed);
}

TEST_F(IntegrityCheck, UpdateFileSizeRecordsTheSavedSize) {
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"absent", "[Version]\nCurVersion=2\n[HaveSection]\nCore=F\n"},
      {"short value", "[Version]\nFileSize=12\n[HaveSection]\nCore=F\n"},
      {"no Version section", "[HaveSection]\nCore=F\n"},
  };
  for (const auto& c : cases) {
    Write(c.text);
    app::CIniReader reader;
    ASSERT_TRUE(reader.LoadTzFile(path_));
    ASSERT_TRUE(UpdateFileSize(reader, false)) << c.name;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010zu", Size());
    EXPECT_EQ(base::Utf16ToUtf8(reader.GetString(u"Version", u"FileSize")), digits) << c.name;
    EXPECT_EQ(CheckCompose(path_.c_str()), kOk) << c.name;
  }
}

TEST_F(IntegrityCheck, UpdateFileSizeWritesOnlyWhatChanges) {
  Write("[Version]\nFileSize=0000000001\n[HaveSection]\nCore=F\n");
  app::CIniReader reader;
  ASSERT_TRUE(reader.LoadTzFile(path_));
  ASSERT_TRUE(UpdateFileSize(reader, true));
  const std::vector<unsigned char> consistent = ReadBytes(path_);
  const std::u16string value = reader.GetString(u"Version", u"FileSize");
  ASSERT_TRUE(UpdateFileSize(reader, true));
  EXPECT_EQ(ReadBytes(path_), consistent);
  // A change of the content changes the size; the value follows it and keeps its width.
  reader.SetString(u"Version", u"CurVersion", u"3");
  ASSERT_TRUE(UpdateFileSize(reader, true));
  EXPECT_EQ(CheckCompose(path_.c_str()), kOk);
  EXPECT_NE(reader.GetString(u"Version", u"FileSize"), value);
  EXPECT_EQ(reader.GetString(u"Version", u"FileSize").size(), 10u);

  // Without a FileSize to keep, nothing is written.
  Write("[Version]\nCurVersion=2\n");
  const std::vector<unsigned char> before = ReadBytes(path_);
  app::CIniReader plain;
  ASSERT_TRUE(plain.LoadTzFile(path_));
  plain.SetString(u"Version", u"CurVersion", u"5");
  EXPECT_TRUE(UpdateFileSize(plain, true));
  EXPECT_EQ(ReadBytes(path_), before);
  app::CIniReader unsaved;  // no path to save to
  unsaved.SetString(u"Version", u"FileSize", u"0000000001");
  EXPECT_FALSE(UpdateFileSize(unsaved, false));
}

}  // namespace
}  // namespace engine
