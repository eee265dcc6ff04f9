// The page order of the wizard: one row per branch of the flow's table, first match wins.
#include <gtest/gtest.h>

#include "app/wizard_flow.h"

namespace {

using app::WizardAction;
using app::WizardPage;

TEST(WizardFlowTest, EveryPageResultLeadsWhereTheTableSays) {
  struct Row {
    WizardPage page;
    int result;
    bool url_known;
    WizardAction action;
    WizardPage next;
  } rows[] = {
      {WizardPage::kWelcome, 1, false, WizardAction::kStoreDefaultFolder, WizardPage::kCopy},
      {WizardPage::kWelcome, 12, false, WizardAction::kNone, WizardPage::kFolder},
      {WizardPage::kWelcome, 10, false, WizardAction::kPackageBroken, WizardPage::kEnd},
      {WizardPage::kWelcome, 10, true, WizardAction::kStoreDefaultFolder, WizardPage::kDownload},
      {WizardPage::kWelcome, 2, true, WizardAction::kNone, WizardPage::kEnd},
      {WizardPage::kFolder, 13, true, WizardAction::kNone, WizardPage::kWelcome},
      {WizardPage::kFolder, 1, true, WizardAction::kNone, WizardPage::kCopy},
      {WizardPage::kFolder, 10, true, WizardAction::kNone, WizardPage::kDownload},
      {WizardPage::kFolder, 10, false, WizardAction::kPackageBroken, WizardPage::kEnd},
      {WizardPage::kFolder, 2, true, WizardAction::kNone, WizardPage::kEnd},
      {WizardPage::kDownload, 1, true, WizardAction::kTakeDownloadedPackage, WizardPage::kCopy},
      {WizardPage::kDownload, 2, true, WizardAction::kNone, WizardPage::kEnd},
      {WizardPage::kCopy, 101, true, WizardAction::kNone, WizardPage::kEnd},
      {WizardPage::kCopy, 2, true, WizardAction::kInstallCancelled, WizardPage::kEnd},
      {WizardPage::kCopy, 100, true, WizardAction::kNone, WizardPage::kFinish},
      {WizardPage::kFinish, 0, true, WizardAction::kNone, WizardPage::kEnd},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "page " << static_cast<int>(row.page) << " result " << row.result);
    const app::WizardStep step = app::NextWizardStep(row.page, row.result, row.url_known);
    EXPECT_EQ(step.action, row.action);
    EXPECT_EQ(step.next, row.next);
  }
}

}  // namespace
