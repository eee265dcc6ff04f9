// File placement over real files: the order, both passes with results, log lines and progress,
// and the resource archives unpacked after a run. Files in use, and the running updater, are the
// Windows tests'.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/strings.h"
#include "engine/engine_codes.h"
#include "engine/file_operator.h"
#include "engine/res_archive_install.h"
#include "engine/restart_needed.h"
#include "null_view.h"
#include "package/package_test_files.h"
#include "package/packed_file.h"
#include "package/res_archive_test_bytes.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"

namespace engine {
namespace {

using package_test::ReadText;
using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::WriteText;

std::string U8(std::u16string_view text) { return base::Utf16ToUtf8(text); }
std::string Name(const char16_t* path) { return U8(base::FileNamePart(path)); }

TEST(SortFilesTest, ExchangeSortOnUnsignedField5) {
  const uint32_t orders[] = {2, 1, 0xFFFFFFFF, 2, 1};
  FileEntryList files(5);
  for (size_t i = 0; i < files.size(); ++i) {
    files[i].file_name = std::u16string(1, static_cast<char16_t>(u'a' + i));
    files[i].order = orders[i];
  }
  SortFiles(files);
  std::string names;
  for (const auto& f : files) names += U8(f.file_name);
  EXPECT_EQ(names, "bedac");  // a stable sort gives "beadc"
}

struct RecordingView : engine_test::NullView {
  void Add(const std::string& call) { calls.push_back(call); }
  static std::string Pair(uint32_t a, uint32_t b) { return std::to_string(a) + "," + std::to_string(b); }
  void BeginItem(uint32_t n) override { Add("BeginItem " + std::to_string(n)); }
  void SetItemRange(uint32_t l, uint32_t h) override { Add("SetItemRange " + Pair(l, h)); }
  uint32_t GetPos() override { return 100; }
  uint16_t SetPos(uint32_t p) override { return Add("SetPos " + std::to_string(p)), 0; }
  void SetStatus(uint32_t code) override { Add("SetStatus " + std::to_string(code)); }
  void OnCopyFile(const char16_t* s, const char16_t* t) override { Add("OnCopyFile " + Name(s) + "," + Name(t)); }
  void OnDeleteFile(const char16_t* path) override { Add("OnDeleteFile " + Name(path)); }
  std::vector<std::string> calls;
};

class PlaceFilesTest : public testing::Test {
 protected:
  PlaceFilesTest() {
    for (const char16_t* folder : {u"Temp", u"app"}) {
      std::filesystem::create_directory(package_test::Native(dir_.Join(folder)));
    }
  }
  // An entry extracted (unless extracted is empty) to Temp\{name}.x and placed at app\{name}.
  FileEntry& Add(const std::u16string& name, FileState state, uint32_t order, const std::string& extracted) {
    FileEntry& e = files_.emplace_back();
    e.file_name = name;
    e.state = state;
    e.order = order;
    e.extracted_path = dir_.Join(u"Temp/" + name + u".x");
    e.full_path = dir_.Join(u"app/" + name);
    if (!extracted.empty()) WriteText(e.extracted_path, extracted);
    return e;
  }

  testing_support::ScratchDir dir_;
  FileEntryList files_;
  FileOperator placer_{WorkPaths(dir_.path())};
};

TEST_F(PlaceFilesTest, PassesResultsAndLogLines) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(package::PackBytes(reinterpret_cast<const uint8_t*>("new"), 3, &bytes));
  const std::string packed(bytes.begin(), bytes.end());
  const struct {
    FileState state;
    uint32_t field2;
    std::string extracted;  // empty: none
    const char* old_target;  // null: none
    uint32_t code;
    const char* target_after;  // null: absent
    const char* log;  // {T} the target, {S} the extracted file; empty: no "msg" line
  } cases[] = {
      {FileState::kRemoved, 0, "", "old", kOk, nullptr, "msg , delete file :{T} \r\n"},
      {FileState::kRemoved, 0, "", nullptr, kOk, nullptr, ""},
      {FileState::kUnchanged, 0, "new", "old", kOk, "old", ""},
      {FileState::kChanged, 0, "new", "old", kOk, "new", "msg ,CopyFile tofile={T} fromfile={S} ok! \r\n"},
      {FileState::kNew, 1, packed, nullptr, kOk, "new", "CopyFile tofile={T} fromfile="},
      // The installed file stays when its replacement cannot be had.
      {FileState::kChanged, 1, "new", "old", package::kUnpackNotPacked, "old",
       "error,ZQP_UnPackFile file error,file name=f.dll from={S} to="},
      {FileState::kChanged, 0, "", "old", kPlaceSourceMissing, "old", "not existing ,file={S} \r\n"},
      {FileState::kNew, 2, "new", nullptr, kPlaceSourceMissing, nullptr, "not existing ,file= \r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log);
    files_.clear();
    FileEntry& e = Add(u"f.dll", c.state, 0, c.extracted);
    e.packed = c.field2;
    std::filesystem::remove(package_test::Native(e.full_path));
    if (c.old_target) WriteText(e.full_path, c.old_target);
    placer_.SetFileList(&files_);
    const testing_support::LogTail log;
    EXPECT_EQ(placer_.PlaceFiles(300), c.code);
    EXPECT_EQ(Exists(e.full_path) ? ReadText(e.full_path) : "(none)", c.target_after ? c.target_after : "(none)");
    // An extracted file stays only when nothing used it.
    const bool kept = c.state == FileState::kUnchanged || c.field2 == 2;
    EXPECT_EQ(package_test::FilesBelow(dir_.Join(u"Temp")).empty(), !kept);
    std::string line = c.log;
    for (const auto& [key, path] : {std::pair{"{T}", e.full_path}, std::pair{"{S}", e.extracted_path}}) {
      if (line.find(key) != std::string::npos) line.replace(line.find(key), 3, U8(path));
    }
    const std::string text = log.Text();
    EXPECT_TRUE(line.empty() ? text.find(" msg ,") == std::string::npos : text.find(line) != std::string::npos) << text;
  }
}

// A run killed just after a packed file was moved into place leaves no packed copy in Temp: the
// next run finds the file in place, does not extract it again and would never take it away.
TEST_F(PlaceFilesTest, PackedCopyIsGoneBeforeTheFileIsPlaced) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(package::PackBytes(reinterpret_cast<const uint8_t*>("new"), 3, &bytes));
  Add(u"p.dll", FileState::kNew, 0, std::string(bytes.begin(), bytes.end())).packed = 1;
  struct AtCopy : engine_test::NullView {
    void OnCopyFile(const char16_t* source, const char16_t*) override { extracted_left = Exists(*extracted); }
    const std::u16string* extracted = nullptr;
    bool extracted_left = true;
  } view;
  view.extracted = &files_[0].extracted_path;
  placer_.SetView(&view);
  placer_.SetFileList(&files_);
  ASSERT_EQ(placer_.PlaceFiles(300), kOk);
  EXPECT_FALSE(view.extracted_left);
  EXPECT_EQ(ReadText(files_[0].full_path), "new");
}

TEST_F(PlaceFilesTest, RemovedFirstThenAscendingField5WithTheWeightSpread) {
  Add(u"c.dll", FileState::kNew, 3, "c").needs_restart = 1;
  Add(u"a.dll", FileState::kChanged, 1, "a");
  Add(u"u.dll", FileState::kUnchanged, 0, "u");
  Add(u"r.dll", FileState::kRemoved, 2, "");
  RecordingView view;
  const testing_support::LogTail log;
  placer_.SetView(&view);
  placer_.SetFileList(&files_);
  ASSERT_EQ(placer_.PlaceFiles(50), kOk);
  // 50 over 4 entries from position 100: 112.5, then 125.
  EXPECT_EQ(view.calls, (std::vector<std::string>{"SetStatus 128", "SetItemRange 0,4", "OnDeleteFile r.dll",
                                                  "BeginItem 1", "OnCopyFile a.dll.x,a.dll", "SetPos 112",
                                                  "BeginItem 1", "OnCopyFile c.dll.x,c.dll", "SetPos 125",
                                                  "BeginItem 1"}));
  const std::string restart = "msg ,need restart os ,becase file=" + U8(dir_.Join(u"app/c.dll")) + " changed and";
  EXPECT_NE(log.Text().find(restart), std::string::npos) << log.Text();
  EXPECT_EQ(RestartNeeded(), 1u);  // (nothing else in this program sets it)
}

TEST(UnzipResFiles, UnpacksOnlyTheArchivesTheRunInstalled) {
  testing_support::ScratchDir dir;
  const std::u16string install = dir.path() + u"/";
  std::filesystem::create_directories(package_test::Native(dir.Join(u"ProgData")));
  const auto write = [&](const char16_t* archive, const char16_t* member, const char* text) {
    testing_support::WriteBytes(dir.Join(u"ProgData/") + archive,
                                payload_test::HandArchive({{member, payload_test::Bytes(text), 11}}));
  };
  write(u"html.dat", u"copy.htm", "<html>");
  write(u"DrawData.dat", u"bg.bmp", "BM");
  write(u"uninstall.dat", u"u.txt", "u");

  FileEntryList files(2);
  files[0].file_name = u"HTML.DAT";  // any letter case, any compose
  files[1].file_name = u"main.exe";
  UnzipResFiles(files, install);
  EXPECT_EQ(ReadBytes(dir.Join(u"html/copy.htm")), payload_test::Bytes("<html>"));
  EXPECT_FALSE(Exists(dir.Join(u"DrawData")));
  EXPECT_FALSE(Exists(dir.Join(u"uninstall")));

  files[1].file_name = u"uninstall.dat";
  UnzipResFiles(files, install);
  EXPECT_EQ(ReadBytes(dir.Join(u"uninstall/u.txt")), payload_test::Bytes("u"));
  EXPECT_FALSE(Exists(dir.Join(u"DrawData")));
}

}  // namespace
}  // namespace engine
