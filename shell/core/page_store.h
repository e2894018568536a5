// The page store: the two pages carried in the executable, written out as files for as long as
// the main window exists and removed again when it closes.
#ifndef PLQ_SHELL_CORE_PAGE_STORE_H_
#define PLQ_SHELL_CORE_PAGE_STORE_H_

#include <string>

#include "shell/core/platform.h"
#include "shell/core/status.h"

namespace plq {

inline constexpr char kPageResourceType[] = "custom";

struct PageEntry {
  int resource_id;
  const char* file_name;  // with its leading "/", which serves as the separator
};

// In the order in which they are written and removed.
inline constexpr PageEntry kCalculatorPage = {101, "/plqclear.htm"};
inline constexpr PageEntry kSidePanelPage = {102, "/1.htm"};

// The bytes of both pages, read from the resources before anything is written, so that a
// resource that cannot be read leaves every file as it was.
struct PageContents {
  Bytes calculator;
  Bytes side_panel;
};

// The folder followed directly by the file name, nothing removed, even when the folder already
// ends in a separator.
std::string PagePath(const std::string& folder, const PageEntry& page);

// Writes the calculator page file, then the side panel page file, into `folder`. Afterwards each
// file holds exactly its resource's bytes: each is written to a temporary file in the same folder
// and renamed over the page path, so stale bytes of a longer old file never remain and a link
// planted at the page path is replaced, never followed. The first failure stops it; no temporary
// file is left behind, and a page file this call already put in place is removed again, so a
// failed call leaves no file of the program in `folder`. Both resources are read before the
// first file is touched. An empty or relative folder is refused: the first would put the files at
// the root, the second wherever the working directory happens to be.
Status ExtractPages(ResourceStore& resources, const std::string& folder);

// The two halves of ExtractPages, for a caller that tries several folders with the same bytes.
Status ReadPages(ResourceStore& resources, PageContents* contents);
Status WritePages(const PageContents& contents, const std::string& folder);

// Deletes the calculator page file, then the side panel page file. A file that is already gone
// counts as removed. A file that cannot be deleted does not stop the other one from being
// deleted; the failure names every file left behind and why.
Status RemovePages(const std::string& folder);

// Makes `folder` ready to hold one user's page files: creates it (its parent must exist) with
// mode 0700 when it is absent, and narrows an existing one to 0700. Refuses a link, anything that
// is not a directory, and a folder whose mode cannot be set (one that another user owns).
Status PreparePrivateFolder(const std::string& folder);

// Removes `folder` if it is an empty directory; otherwise leaves it alone. Never reports: a
// folder still holding another copy's pages is expected.
void RemovePrivateFolderIfEmpty(const std::string& folder);

}  // namespace plq

#endif  // PLQ_SHELL_CORE_PAGE_STORE_H_
