// The Windows page folder under Wine: the contract every backend keeps
// (tests/core/page_folder_contract.cc), and its lock file.
#include "shell/win32/page_folder.h"

#include <aclapi.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/core/fakes.h"
#include "tests/core/page_folder_contract.h"

namespace plq::testing {

Status OpenPageFolder(const std::string& path, FolderKind kind,
                      std::unique_ptr<PageFolder>* folder) {
  std::unique_ptr<win32::PageFolder> opened;
  const Status status = win32::PageFolder::Open(path, kind, &opened);
  *folder = std::move(opened);
  return status;
}

bool LetOthersWrite(const fs::path& folder) {
  PSID everyone = nullptr;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    return false;
  }
  PACL old_dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::wstring path = folder.wstring();
  bool done = false;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &old_dacl, nullptr, &descriptor) == ERROR_SUCCESS) {
    EXPLICIT_ACCESSW access = {};
    access.grfAccessPermissions = FILE_ADD_FILE | FILE_DELETE_CHILD | FILE_GENERIC_READ;
    access.grfAccessMode = GRANT_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
    PACL new_dacl = nullptr;
    if (SetEntriesInAclW(1, &access, old_dacl, &new_dacl) == ERROR_SUCCESS) {
      done = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, new_dacl, nullptr) == ERROR_SUCCESS;
      LocalFree(new_dacl);
    }
    LocalFree(descriptor);
  }
  FreeSid(everyone);
  return done;
}

bool IsBookkeeping(const std::string& name) { return name == ".plqcalc.lock"; }

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::unique_ptr<PageFolder> Opened(const fs::path& folder) {
  std::unique_ptr<PageFolder> opened;
  const Status status = OpenPageFolder(Text(folder), FolderKind::kApplication, &opened);
  EXPECT_TRUE(status.ok()) << Text(folder) << ": " << status.message();
  return opened;
}

TEST(WindowsPageFolderTest, TheLockFileIsHiddenWhileHeldAndGoesWithTheLastCopy) {
  TempDir dir;
  const fs::path lock = dir.path() / ".plqcalc.lock";
  auto first = Opened(dir.path());
  auto second = Opened(dir.path());
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  const DWORD attributes = GetFileAttributesW(lock.wstring().c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  // Not alone: the lock file stays for the other copy.
  EXPECT_FALSE(first->HoldAlone());
  first.reset();
  EXPECT_THAT(Entries(dir.path()), ElementsAre(".plqcalc.lock"));
  ASSERT_TRUE(second->HoldAlone());
  second.reset();
  EXPECT_THAT(Entries(dir.path()), IsEmpty());
}

TEST(WindowsPageFolderTest, ALockFileLeftByACopyThatDiedIsTakenOver) {
  TempDir dir;
  WriteFile(dir.path() / ".plqcalc.lock", ToBytes(""));
  auto folder = Opened(dir.path());
  ASSERT_NE(folder, nullptr);
  EXPECT_TRUE(folder->HoldAlone());
  folder.reset();
  EXPECT_THAT(Entries(dir.path()), IsEmpty());
}

TEST(WindowsPageFolderTest, AFolderThatCannotBeWrittenIsRefusedAtOnce) {
  // The lock file cannot be made in it: the folder is refused without waiting.
  TempDir dir;
  const fs::path locked = dir.path() / "locked";
  fs::create_directory(locked);
  fs::create_directory(locked / ".plqcalc.lock");
  std::unique_ptr<PageFolder> folder;
  EXPECT_FALSE(OpenPageFolder(Text(locked), FolderKind::kApplication, &folder).ok());
  EXPECT_EQ(folder, nullptr);
}

}  // namespace
}  // namespace plq::testing
