#include "shell/core/page_store.h"

#include <string>

#include "shell/core/messages.h"

namespace plq {

std::string PagePath(const std::string& folder, const PageEntry& page) {
  return folder + "/" + page.file_name;
}

std::string PageFileName(const PageEntry& page) { return page.file_name; }

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr size_t kRandomDigits = 16;
constexpr char kTemporarySuffix[] = ".tmp";

}  // namespace

std::string TemporaryPageName(const std::string& name, std::uint64_t random) {
  std::string digits(kRandomDigits, '0');
  for (char& digit : digits) {
    digit = kHexDigits[random & 0xF];
    random >>= 4;
  }
  return name + "." + digits + kTemporarySuffix;
}

bool IsTemporaryPageName(const std::string& entry, const std::string& name) {
  const size_t digits_at = name.size() + 1;
  const std::string suffix = kTemporarySuffix;
  if (entry.size() != digits_at + kRandomDigits + suffix.size() ||
      entry.compare(0, digits_at, name + ".") != 0 ||
      entry.compare(digits_at + kRandomDigits, suffix.size(), suffix) != 0) {
    return false;
  }
  return entry.find_first_not_of(kHexDigits, digits_at) == digits_at + kRandomDigits;
}

Status ReadPages(ResourceStore& resources, PageContents* contents) {
  Bytes* targets[] = {&contents->calculator, &contents->side_panel};
  for (size_t i = 0; i < 2; ++i) {
    targets[i]->clear();
    const Status read = resources.Read(kPageResourceType, kPages[i].resource_id, targets[i]);
    if (!read.ok()) {
      return Status::Failure(
          messages::CannotReadPage(kPageResourceType, kPages[i].resource_id, read.message()));
    }
  }
  return Status::Ok();
}

Status ExtractPages(const PageContents& contents, PageFolder& folder) {
  const Bytes* sources[] = {&contents.calculator, &contents.side_panel};
  for (size_t i = 0; i < 2; ++i) {
    const Status written = folder.Write(PageFileName(kPages[i]), *sources[i]);
    if (!written.ok()) {
      return Status::Failure(
          messages::CannotWritePage(PagePath(folder.path(), kPages[i]), written.message()));
    }
  }
  return Status::Ok();
}

Status RemovePages(PageFolder& folder) {
  std::string failures;
  for (const PageEntry& page : kPages) {
    const Status removed = folder.Remove(PageFileName(page));
    if (removed.ok()) continue;
    if (!failures.empty()) failures += "\n";
    failures += messages::CannotRemovePage(PagePath(folder.path(), page), removed.message());
  }
  return failures.empty() ? Status::Ok() : Status::Failure(failures);
}

Status CheckFolderPath(const std::string& folder) {
  if (folder.empty()) return Status::Failure(messages::kEmptyPath);
  if (folder.find('\0') != std::string::npos) return Status::Failure(messages::kPathWithNul);
  return Status::Ok();
}

Status CheckFolderFacts(FolderKind kind, const FolderFacts& facts) {
  using Found = FolderFacts::Found;
  using Owner = FolderFacts::Owner;
  switch (facts.found) {
    case Found::kNothing:
      return Status::Failure(messages::kNoSuchFolder);
    case Found::kLink:
      return Status::Failure(messages::kIsALink);
    case Found::kOther:
      return Status::Failure(messages::kNotAFolder);
    case Found::kBadPath:
      return Status::Failure(messages::kBadPath);
    case Found::kTooLong:
      return Status::Failure(messages::kPathTooLong);
    case Found::kFolder:
      break;
  }
  const bool owner_trusted =
      kind == FolderKind::kApplication ? facts.owner != Owner::kOther : facts.owner == Owner::kUser;
  if (!owner_trusted) return Status::Failure(messages::kOwnedByAnother);
  if (facts.others_can_write) return Status::Failure(messages::kOthersCanWrite);
  return Status::Ok();
}

}  // namespace plq
