// Unpacking the installed resource archives after a run: only those the run installed.
#include "engine/res_archive_install.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "package/package_test_files.h"
#include "package/res_archive_test_bytes.h"
#include "support/scratch_dir.h"

namespace {
using namespace payload_test;
using namespace package_test;
using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::ScratchDir;

TEST(UnzipResFiles, UnpacksOnlyTheArchivesTheRunInstalled) {
  ScratchDir dir;
  const std::u16string install = dir.path() + u"/";
  std::filesystem::create_directories(Native(dir.Join(u"ProgData")));
  const auto write = [&](const std::u16string& name, const Buf& bytes) { testing_support::WriteBytes(dir.Join(u"ProgData/" + name), bytes); };
  write(u"html.dat", HandArchive({{u"copy.htm", Bytes("<html>"), 11}}));
  write(u"DrawData.dat", HandArchive({{u"bg.bmp", Bytes("BM"), 12}}));
  write(u"uninstall.dat", HandArchive({{u"u.txt", Bytes("u"), 13}}));

  engine::FileEntryList files(2);
  files[0].file_name = u"HTML.DAT";  // any letter case, any compose
  files[1].file_name = u"main.exe";
  engine::UnzipResFiles(files, install);
  EXPECT_EQ(ReadBytes(dir.Join(u"html/copy.htm")), Bytes("<html>"));
  EXPECT_FALSE(Exists(dir.Join(u"DrawData")));
  EXPECT_FALSE(Exists(dir.Join(u"uninstall")));

  files[1].file_name = u"uninstall.dat";
  engine::UnzipResFiles(files, install);
  EXPECT_EQ(ReadBytes(dir.Join(u"uninstall/u.txt")), Bytes("u"));
  EXPECT_FALSE(Exists(dir.Join(u"DrawData")));
}

}  // namespace
