// Which typed install folders the folder page refuses before an install starts.
#include <gtest/gtest.h>

#include <string>

#include "app/install_folder_check.h"

namespace {

using app::FolderProblem;

TEST(InstallFolderCheckTest, RefusesWhatCannotHoldTheSuite) {
  const std::u16string windows = u"C:\\Windows";
  struct Case {
    const char16_t* folder;
    FolderProblem problem;
  } cases[] = {
      {u"C:\\Program Files\\KestrelClient\\", FolderProblem::kNone},
      {u"  d:/Apps/Norv  ", FolderProblem::kNone},
      {u"C:\\WindowsApps\\Norv", FolderProblem::kNone},  // only the folder itself and below
      {u"Norv\\Client", FolderProblem::kNotFullPath},
      {u"\\\\server\\share\\Norv", FolderProblem::kNotFullPath},
      {u"C:Norv", FolderProblem::kNotFullPath},
      {u"C:\\Norv\\..\\..\\Windows", FolderProblem::kNotFullPath},
      {u"C:\\No|rv", FolderProblem::kNotFullPath},
      {u"", FolderProblem::kNotFullPath},
      {u"E:\\", FolderProblem::kDriveRoot},
      {u"E:\\\\", FolderProblem::kDriveRoot},
      {u"c:\\windows\\System32\\Norv", FolderProblem::kSystemFolder},
      {u"C:\\Windows\\", FolderProblem::kSystemFolder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.folder, c.folder + std::char_traits<char16_t>::length(c.folder)));
    EXPECT_EQ(app::CheckInstallFolderText(c.folder, windows), c.problem);
  }
  EXPECT_EQ(app::CheckInstallFolderText(u"C:\\" + std::u16string(app::kMaxInstallFolderChars, u'a'), windows),
            FolderProblem::kTooLong);
  EXPECT_EQ(app::FolderProblemMessage(FolderProblem::kNone), nullptr);
  EXPECT_NE(app::FolderProblemMessage(FolderProblem::kCannotCreate), nullptr);
}

}  // namespace
