#include "shell/core/page_store.h"

#include <string>

#include "shell/core/messages.h"

namespace plq {

std::string PagePath(const std::string& folder, const PageEntry& page) {
  return folder + page.file_name;
}

std::string PageFileName(const PageEntry& page) { return page.file_name + 1; }

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
