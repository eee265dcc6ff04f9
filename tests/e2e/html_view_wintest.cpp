// The copy page's HTML view: the web browser control hosted in a plain window. Where the system
// has no HTML engine the view refuses cleanly and leaves the window usable.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include "support/log_tail.h"
#include "support/scratch_dir.h"
#include "ui/html_view_win.h"

namespace {

TEST(HtmlViewTest, ShowsALocalPageOrRefusesCleanly) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  testing_support::ScratchDir dir;
  const std::u16string page = dir.Join(u"page.htm");
  testing_support::WriteText(page, "<html><body>copy</body></html>");
  HWND parent = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  testing_support::LogTail log;
  {
    ui::HtmlView view;
    const RECT area{15, 98, 380, 260};
    if (view.Create(parent, area)) {
      EXPECT_TRUE(view.IsCreated());
      EXPECT_NE(view.Window(), nullptr);
      EXPECT_TRUE(view.Navigate(u"file://" + page));
      view.Move(RECT{10, 10, 200, 200});
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    } else {
      EXPECT_FALSE(view.IsCreated());
      EXPECT_FALSE(view.Navigate(u"file://" + page));
      EXPECT_NE(log.Text().find("the HTML view cannot be created"), std::string::npos);
    }
    view.Destroy();
    EXPECT_FALSE(view.IsCreated());
  }
  EXPECT_TRUE(IsWindow(parent));
  DestroyWindow(parent);
  OleUninitialize();
}

}  // namespace
