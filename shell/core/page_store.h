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

// The folder followed directly by the file name, nothing removed, even when the folder already
// ends in a separator.
std::string PagePath(const std::string& folder, const PageEntry& page);

// Writes the calculator page file, then the side panel page file, into `folder`. Afterwards each
// file holds exactly its resource's bytes: each is written to a temporary file in the same folder
// and renamed over the page path, so stale bytes of a longer old file never remain and a link
// planted at the page path is replaced, never followed. The first failure stops it; no temporary
// file is left behind.
Status ExtractPages(ResourceStore& resources, const std::string& folder);

// Deletes the calculator page file, then the side panel page file. A file that is already gone
// counts as removed.
Status RemovePages(const std::string& folder);

}  // namespace plq

#endif  // PLQ_SHELL_CORE_PAGE_STORE_H_
