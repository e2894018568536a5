// The folder's facts with the security API: GetSecurityInfo for its owner and access rules
// (DACL), the process token for the user, well-known SIDs for the administrators.
#include "shell/win32/folder_trust.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <string>
#include <vector>

namespace plq::win32 {
namespace {

struct LocalFreeDeleter {
  void operator()(void* memory) const { LocalFree(memory); }
};

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};

// The process token's TOKEN_USER, empty when it cannot be read.
std::vector<unsigned char> TokenUser() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const std::unique_ptr<void, HandleCloser> token(raw);
  DWORD size = 0;
  GetTokenInformation(raw, ::TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !GetTokenInformation(raw, ::TokenUser, buffer.data(), size, &size)) {
    buffer.clear();
  }
  return buffer;
}

bool IsTrustedInstaller(PSID sid) {
  PSID trusted_installer = nullptr;
  if (!ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                              &trusted_installer)) {
    return false;
  }
  const std::unique_ptr<void, LocalFreeDeleter> owned(trusted_installer);
  return EqualSid(sid, trusted_installer) != FALSE;
}

bool IsAdministrator(PSID sid) {
  return IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         IsWellKnownSid(sid, WinLocalSystemSid) || IsTrustedInstaller(sid);
}

// Whether an access rule lets someone other than the user and the administrators add, rename or
// delete entries, or change the rules themselves.
bool OthersCanWrite(PACL dacl, PSID user) {
  // No rules at all let everyone do everything.
  if (dacl == nullptr) return true;
  constexpr ACCESS_MASK kChanges = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                                   DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    // Rules that only pass on to what the folder holds do not apply to the folder itself.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) {
      continue;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if ((allowed->Mask & kChanges) == 0) continue;
    PSID sid = &allowed->SidStart;
    if (EqualSid(sid, user) || IsAdministrator(sid) || IsWellKnownSid(sid, WinCreatorOwnerSid) ||
        IsWellKnownSid(sid, WinCreatorOwnerRightsSid)) {
      continue;
    }
    return true;
  }
  return false;
}

// What the handle itself says it is.
FolderFacts::Found KindOf(HANDLE folder) {
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (!GetFileInformationByHandleEx(folder, FileAttributeTagInfo, &tag, sizeof tag)) {
    return FolderFacts::Found::kOther;
  }
  if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return FolderFacts::Found::kLink;
  if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return FolderFacts::Found::kOther;
  return FolderFacts::Found::kFolder;
}

}  // namespace

FolderFacts FactsOf(HANDLE folder, const std::wstring& path) {
  FolderFacts facts;
  facts.found = KindOf(folder);
  // Wine opens what a Unix symbolic link points to even when asked for the link itself, and its
  // handle then speaks for the target; the name still says it is a link. Held without
  // FILE_SHARE_DELETE, the entry cannot be swapped meanwhile: the name names what was opened.
  const DWORD by_name = GetFileAttributesW(path.c_str());
  if (facts.found == FolderFacts::Found::kFolder && by_name != INVALID_FILE_ATTRIBUTES &&
      (by_name & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    facts.found = FolderFacts::Found::kLink;
  }
  if (facts.found != FolderFacts::Found::kFolder) return facts;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                      &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    // Not knowing is not trusting.
    facts.owner = FolderFacts::Owner::kOther;
    return facts;
  }
  const std::unique_ptr<void, LocalFreeDeleter> owned(descriptor);
  const std::vector<unsigned char> user_buffer = TokenUser();
  PSID user = user_buffer.empty()
                  ? nullptr
                  : reinterpret_cast<const TOKEN_USER*>(user_buffer.data())->User.Sid;
  if (owner != nullptr && user != nullptr && EqualSid(owner, user)) {
    facts.owner = FolderFacts::Owner::kUser;
  } else if (owner != nullptr && IsAdministrator(owner)) {
    facts.owner = FolderFacts::Owner::kAdministrator;
  } else {
    facts.owner = FolderFacts::Owner::kOther;
  }
  facts.others_can_write = user == nullptr || OthersCanWrite(dacl, user);
  return facts;
}

}  // namespace plq::win32
