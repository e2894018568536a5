// The page store: the two pages carried in the executable, written out as files for as long as
// the main window exists and removed again when it closes. The files are written and removed
// through a PageFolder (platform.h), which the backend opens and checks.
#ifndef PLQ_SHELL_CORE_PAGE_STORE_H_
#define PLQ_SHELL_CORE_PAGE_STORE_H_

#include <cstdint>
#include <string>

#include "shell/core/facts.h"
#include "shell/core/layout.h"
#include "shell/core/platform.h"
#include "shell/core/status.h"

namespace plq {

// A page: its resource (of type kPageResourceType), its file's name in the page folder
// (kCalculatorPageFile, kSidePanelPageFile) and its pane. Resource type, ids and names come from
// shell/core/facts.cmake.
struct PageEntry {
  int resource_id;
  const char* file_name;
  Pane pane;  // the pane that shows it
};

// In the order in which they are written and removed.
inline constexpr PageEntry kCalculatorPage = {PLQ_CALCULATOR_PAGE_ID, kCalculatorPageFile,
                                              Pane::kWebBrowser1};
inline constexpr PageEntry kSidePanelPage = {PLQ_SIDE_PANEL_PAGE_ID, kSidePanelPageFile,
                                             Pane::kWebBrowser2};
inline constexpr PageEntry kPages[] = {kCalculatorPage, kSidePanelPage};

// The bytes of both pages, read from the resources before anything is written, so that a
// resource that cannot be read leaves every file as it was.
struct PageContents {
  Bytes calculator;
  Bytes side_panel;
};

// The folder, "/" and the file name, nothing removed, even when the folder already ends in a
// separator: "C:\dir/plqclear.htm" on Windows, as the program has always named its pages there
// (Windows takes either separator; FileUrl makes both "/" in a pane's address).
std::string PagePath(const std::string& folder, const PageEntry& page);

// The file's name in the page folder.
std::string PageFileName(const PageEntry& page);

// The name a copy writes the page file `name` under before renaming it into place:
// "<name>.<16 lower-case hex digits of `random`>.tmp". A copy that is killed while writing leaves
// such a file; IsTemporaryPageName finds it again by the same rule.
std::string TemporaryPageName(const std::string& name, std::uint64_t random);
bool IsTemporaryPageName(const std::string& entry, const std::string& name);

// Reads both pages from the executable's resources.
Status ReadPages(ResourceStore& resources, PageContents* contents);

// Writes the calculator page file, then the side panel page file, into `folder`: each file then
// holds exactly its resource's bytes. The first failure stops it and is returned; a page already
// written stays, since another copy of the program may be showing it: the caller takes it away
// when it holds the folder alone.
Status ExtractPages(const PageContents& contents, PageFolder& folder);

// Deletes the calculator page file, then the side panel page file. A file that is already gone
// counts as removed. A file that cannot be deleted does not stop the other one from being
// deleted; the failure names every file left behind and why.
Status RemovePages(PageFolder& folder);

// Refuses a folder text that names no folder on any system: an empty one would put the files at
// the root, and an embedded NUL would cut the path short in every system call.
Status CheckFolderPath(const std::string& folder);

// Whether the folder found at a path may hold the page files; the refusal says why. Another
// user who can change the folder could swap the page for one the program then runs, so the
// application folder must belong to the user or an administrator and be changeable by nobody
// else, and a private folder must be the user's own.
Status CheckFolderFacts(FolderKind kind, const FolderFacts& facts);

}  // namespace plq

#endif  // PLQ_SHELL_CORE_PAGE_STORE_H_
