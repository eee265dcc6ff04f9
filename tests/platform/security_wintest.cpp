// The security the installer gives what it creates. Wine keeps no security descriptor on a file
// (it answers with one made from the Unix mode bits), so the descriptor that every creation is
// handed is read back through the security API instead of from the disk.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win/security.h"

namespace {

TEST(ProcessSecurity, GrantsEveryoneFullControlPassedOnToWhatFoldersHold) {
  const SECURITY_ATTRIBUTES* attributes = platform::ProcessSecurityAttributes();
  ASSERT_NE(attributes, nullptr);
  EXPECT_FALSE(attributes->bInheritHandle);
  BOOL present = FALSE, defaulted = TRUE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl, &defaulted));
  ASSERT_TRUE(present);
  ASSERT_NE(dacl, nullptr);  // a null list would admit everyone to everything, also without inheritance
  ASSERT_EQ(dacl->AceCount, 1u);
  ACE_HEADER* header = nullptr;
  ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&header)));
  EXPECT_EQ(header->AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  const auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
  EXPECT_EQ(ace->Mask, static_cast<ACCESS_MASK>(GENERIC_ALL));
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&ace->SidStart), everyone));
  FreeSid(everyone);
}

}  // namespace
