#include "package/file_utils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/strings.h"
#include "package/wininit_rename.h"
#include "support/message_box_recorder.h"
#include "support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Exists;
using testing_support::Native;
using testing_support::ReadText;
using testing_support::ScratchDir;
using testing_support::WriteText;

bool IsFolder(const std::u16string& path) { return fs::is_directory(Native(path)); }
void MakeFolder(const std::u16string& path) { fs::create_directories(Native(path)); }
void MakeReadOnly(const std::u16string& path) {
  fs::permissions(Native(path), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

TEST(CreatePath, CreatesEveryMissingFolderButNotTheFile) {
  const struct {
    const char* what;
    std::u16string path;
    std::vector<std::u16string> folders;  // must exist afterwards
    std::u16string not_created;           // must not exist afterwards
  } cases[] = {
      {"file path with two missing parents", u"a\\b\\file.txt", {u"a", u"a\\b"}, u"a\\b\\file.txt"},
      {"trailing backslash: every folder", u"c\\d\\e\\", {u"c", u"c\\d", u"c\\d\\e"}, u""},
      {"mixed separators, file name", u"i/j\\k.dll", {u"i", u"i/j"}, u"i/j\\k.dll"},
      {"folder that exists already", u"a\\b\\", {u"a\\b"}, u""},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(package::CreatePath(dir.Join(c.path).c_str()));
    for (const auto& folder : c.folders) {
      EXPECT_TRUE(IsFolder(dir.Join(folder))) << base::Utf16ToUtf8(folder);
    }
    if (!c.not_created.empty()) {
      EXPECT_FALSE(Exists(dir.Join(c.not_created)));
    }
  }
  EXPECT_FALSE(package::CreatePath(u""));
}

TEST(WholeFile, ReadGivesTheBytesWithATerminatorOrNothing) {
  ScratchDir dir;
  WriteText(dir.Join(u"data.bin"), std::string("ab\0cd", 5));
  uint32_t size = 99;
  auto buffer = package::ReadWholeFile(dir.Join(u"data.bin").c_str(), &size);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(std::memcmp(buffer.get(), "ab\0cd\0", 6), 0);
  EXPECT_EQ(package::GetFileLength(dir.Join(u"data.bin").c_str()), 5u);

  WriteText(dir.Join(u"empty.bin"), "");
  for (const std::u16string& path : {dir.Join(u"empty.bin"), dir.Join(u"missing.bin")}) {
    size = 99;
    EXPECT_EQ(package::ReadWholeFile(path.c_str(), &size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(package::GetFileLength(path.c_str()), 0u);
  }
  EXPECT_EQ(package::ReadWholeFile(dir.path().c_str(), &size), nullptr);  // a folder
}

TEST(WholeFile, WriteTruncatesOrAppends) {
  ScratchDir dir;
  const std::u16string path = dir.Join(u"out.txt");
  ASSERT_TRUE(package::WriteWholeFile(path.c_str(), "longer text", 11, false));
  ASSERT_TRUE(package::WriteWholeFile(path.c_str(), "short", 5, false));
  EXPECT_EQ(ReadText(path), "short");
  ASSERT_TRUE(package::WriteWholeFile(path.c_str(), "+more", 5, true));
  EXPECT_EQ(ReadText(path), "short+more");
  ASSERT_TRUE(package::WriteWholeFile(dir.Join(u"new.txt").c_str(), "x", 1, true));  // append creates
  EXPECT_EQ(ReadText(dir.Join(u"new.txt")), "x");
  EXPECT_FALSE(package::WriteWholeFile(dir.Join(u"no-folder\\x.txt").c_str(), "x", 1, false));
  EXPECT_FALSE(Exists(dir.Join(u"no-folder")));
}

// root\file.txt, root\ro.txt (read-only), root\sub\deeper\x.dll, root\empty\.
void MakeTree(const ScratchDir& dir, const std::u16string& root) {
  MakeFolder(dir.Join(root + u"\\sub\\deeper"));
  MakeFolder(dir.Join(root + u"\\empty"));
  WriteText(dir.Join(root + u"\\file.txt"), "1");
  WriteText(dir.Join(root + u"\\ro.txt"), "2");
  WriteText(dir.Join(root + u"\\sub\\deeper\\x.dll"), "3");
  MakeReadOnly(dir.Join(root + u"\\ro.txt"));
  MakeReadOnly(dir.Join(root + u"\\sub\\deeper\\x.dll"));
}

TEST(DeleteTree, RemovesEverythingIncludingReadOnlyFilesOrEmptiesTheRoot) {
  ScratchDir dir;
  testing_support::MessageBoxRecorder boxes;
  for (const std::u16string suffix : {u"", u"\\"}) {
    MakeTree(dir, u"work");
    package::DeleteTree((dir.Join(u"work") + suffix).c_str(), true);
    EXPECT_FALSE(Exists(dir.Join(u"work")));
  }
  MakeTree(dir, u"work");
  package::DeleteTree(dir.Join(u"work").c_str(), false);
  ASSERT_TRUE(IsFolder(dir.Join(u"work")));
  EXPECT_TRUE(fs::is_empty(Native(dir.Join(u"work"))));
  package::DeleteTree(dir.Join(u"missing").c_str(), true);  // nothing happens
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(DeleteTree, LinksGoWithoutWhatTheyPointTo) {
  ScratchDir dir;
  MakeFolder(dir.Join(u"outside\\empty"));
  WriteText(dir.Join(u"outside\\precious.txt"), "keep");
  MakeFolder(dir.Join(u"work\\sub"));
  MakeFolder(dir.Join(u"tidy"));
  std::error_code ec;
  fs::create_directory_symlink(Native(dir.Join(u"outside")), Native(dir.Join(u"work\\sub\\link")), ec);
  if (!ec) fs::create_directory_symlink(Native(dir.Join(u"outside")), Native(dir.Join(u"tidy\\link")), ec);
  if (ec) GTEST_SKIP() << "no symbolic links on this system";  // Wine: see the Windows-only test

  package::RemoveEmptyFolders(dir.Join(u"tidy").c_str(), true);
  EXPECT_TRUE(IsFolder(dir.Join(u"outside\\empty")));
  package::DeleteTree(dir.Join(u"work").c_str(), true);
  EXPECT_FALSE(Exists(dir.Join(u"work")));
  EXPECT_EQ(ReadText(dir.Join(u"outside\\precious.txt")), "keep");
}

#ifndef _WIN32
// On the host a drive root is a folder named "C:" in the current folder, so the guard can be
// tested without risk: the guarded calls must leave it whole. (The Windows build tests the same
// on a drive letter mapped to a scratch folder.)
TEST(DeleteTree, DriveRootsAreRefusedWithTheWarning) {
  ScratchDir dir;
  const fs::path previous = fs::current_path();
  fs::current_path(Native(dir.path()));
  for (const char16_t* drive : {u"C:", u"c:"}) {
    MakeFolder(dir.Join(std::u16string(drive) + u"\\keep"));
    WriteText(dir.Join(std::u16string(drive) + u"\\keep\\file.txt"), "x");
  }
  const char16_t* guarded[] = {u"C:\\", u"c:\\", u"C:/", u"c:/", u"C:\\\\", u"C:", u"c:"};
  testing_support::MessageBoxRecorder boxes;
  for (const char16_t* root : guarded) {
    package::DeleteTree(root, true);
    package::DeleteTree(root, false);
  }
  fs::current_path(previous);
  ASSERT_EQ(boxes.shown().size(), 2 * std::size(guarded));
  for (const auto& box : boxes.shown()) {
    EXPECT_EQ(box.title, u"warning");
    EXPECT_EQ(box.text, u"Warning code: 0x1144.");
    EXPECT_EQ(box.owner, nullptr);
  }
  EXPECT_TRUE(Exists(dir.Join(u"C:\\keep\\file.txt")));
  EXPECT_TRUE(Exists(dir.Join(u"c:\\keep\\file.txt")));
}
#endif

TEST(RemoveEmptyFolders, RemovesEmptyFoldersButNotDottedOnesOrFiles) {
  ScratchDir dir;
  for (const char16_t* folder : {u"root\\e1\\e2\\e3", u"root\\1.0\\inner", u"root\\keep\\sub", u"root\\e4"}) {
    MakeFolder(dir.Join(folder));
  }
  WriteText(dir.Join(u"root\\keep\\file.txt"), "x");
  WriteText(dir.Join(u"root\\noext"), "file without a dot");
  package::RemoveEmptyFolders(dir.Join(u"root").c_str(), true);
  EXPECT_FALSE(Exists(dir.Join(u"root\\e1")));
  EXPECT_FALSE(Exists(dir.Join(u"root\\e4")));
  EXPECT_FALSE(Exists(dir.Join(u"root\\keep\\sub")));
  EXPECT_TRUE(Exists(dir.Join(u"root\\keep\\file.txt")));
  EXPECT_TRUE(IsFolder(dir.Join(u"root\\1.0\\inner")));  // a dotted folder is never visited
  EXPECT_TRUE(Exists(dir.Join(u"root\\noext")));
  EXPECT_TRUE(IsFolder(dir.Join(u"root")));  // not empty

  // A tree of empty folders goes with its root when asked, and only below it otherwise.
  MakeFolder(dir.Join(u"a\\b\\c"));
  MakeFolder(dir.Join(u"a\\d"));
  MakeFolder(dir.Join(u"k\\b\\c"));
  package::RemoveEmptyFolders(dir.Join(u"a").c_str(), true);
  EXPECT_FALSE(Exists(dir.Join(u"a")));
  package::RemoveEmptyFolders((dir.Join(u"k") + u"\\").c_str(), false);
  EXPECT_TRUE(IsFolder(dir.Join(u"k")));
  EXPECT_FALSE(Exists(dir.Join(u"k\\b")));
}

#ifndef _WIN32
// The host has no restart facility: the file is still renamed away, but nothing is scheduled.
TEST(RestartReplacement, HostRenamesButReportsNoScheduling) {
  ScratchDir dir;
  WriteText(dir.Join(u"prog.exe"), "new");
  WriteText(dir.Join(u"prog.exe.ren"), "old");
  EXPECT_FALSE(package::TzRestartDeleteFile(dir.Join(u"prog.exe").c_str()));
  EXPECT_FALSE(Exists(dir.Join(u"prog.exe")));
  EXPECT_EQ(ReadText(dir.Join(u"prog.exe.ren")), "new");
  EXPECT_FALSE(package::__smartmovefile(dir.Join(u"prog.exe.ren").c_str(), nullptr, 4));
}
#endif

// Where the restart facility is missing, replacement goes through "wininit.ini".
TEST(WininitRename, LineNamesDestinationThenSource) {
  EXPECT_EQ(package::WininitRenameLine("C:\\PROGRA~1\\NORV\\A.DLL", "C:\\PROGRA~1\\NORV\\A.TMP"),
            "C:\\PROGRA~1\\NORV\\A.DLL=C:\\PROGRA~1\\NORV\\A.TMP\r\n");
  EXPECT_EQ(package::WininitRenameLine("", "C:\\NORV\\A.REN"), "NUL=C:\\NORV\\A.REN\r\n");
}

TEST(WininitRename, LineGoesIntoTheFirstRenameSection) {
  const std::string line = "NUL=C:\\A.REN\r\n";
  const struct {
    const char* what;
    std::string before;
    std::string after;
    bool changed;
  } cases[] = {
      {"empty file", "", "[rename]\r\n" + line, true},
      {"no section: one is put in front", "[boot]\r\nx=1\r\n", "[rename]\r\n" + line + "[boot]\r\nx=1\r\n", true},
      {"after the header, before older lines", "[rename]\r\nNUL=C:\\OLD.REN\r\n",
       "[rename]\r\n" + line + "NUL=C:\\OLD.REN\r\n", true},
      {"the first of two sections", "[x]\r\n[rename]\r\n[rename]\r\n", "[x]\r\n[rename]\r\n" + line + "[rename]\r\n",
       true},
      {"already there: unchanged", "[rename]\r\nA=B\r\n" + line, "[rename]\r\nA=B\r\n" + line, false},
      {"a longer line ending alike is another operation", "[rename]\r\nXNUL=C:\\A.REN\r\n",
       "[rename]\r\n" + line + "XNUL=C:\\A.REN\r\n", true},
      {"a header without CR LF is no header", "[rename]", "[rename]\r\n" + line + "[rename]", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bool changed = !c.changed;
    EXPECT_EQ(package::AddWininitRenameLine(c.before, line, &changed), c.after);
    EXPECT_EQ(changed, c.changed);
  }
}

TEST(WininitRename, SchedulingKeepsOtherContentAndAddsEachLineOnce) {
  ScratchDir dir;
  const std::u16string path = dir.Join(u"wininit.ini");
  const std::string line = package::WininitRenameLine("", "C:\\NORV\\A.REN");
  ASSERT_TRUE(package::ScheduleInWininit(path, line));  // creates the file
  EXPECT_EQ(ReadText(path), "[rename]\r\n" + line);
  ASSERT_TRUE(package::ScheduleInWininit(path, line));
  EXPECT_EQ(ReadText(path), "[rename]\r\n" + line);

  const std::string other = package::WininitRenameLine("C:\\NORV\\B.DLL", "C:\\NORV\\B.TMP");
  WriteText(path, "; written by another setup\r\n[boot]\r\nshell=x\r\n");
  ASSERT_TRUE(package::ScheduleInWininit(path, other));
  EXPECT_EQ(ReadText(path), "[rename]\r\n" + other + "; written by another setup\r\n[boot]\r\nshell=x\r\n");

  EXPECT_FALSE(package::ScheduleInWininit(dir.Join(u"missing-folder\\wininit.ini"), "NUL=X\r\n"));
  // A folder where the file should be can be neither read nor created.
  EXPECT_FALSE(package::ScheduleInWininit(dir.path(), "NUL=X\r\n"));
}

}  // namespace
