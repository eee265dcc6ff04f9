// Closing an owned handle keeps the thread's last error, even when the close itself fails.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win/unique_handles.h"

namespace {

TEST(UniqueHandles, AFailingCloseKeepsTheLastError) {
  // A handle value closed already: closing it again fails and sets ERROR_INVALID_HANDLE. Nothing
  // opens a handle in between that could take the value over.
  const HANDLE stale = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(stale, nullptr);
  ASSERT_TRUE(CloseHandle(stale));
  ASSERT_FALSE(CloseHandle(stale));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  {
    platform::UniqueHandle owner(stale);
    SetLastError(ERROR_FILE_NOT_FOUND);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
