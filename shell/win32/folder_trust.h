// Whether a folder the program opened may hold its pages, as far as Windows can tell it: what was
// opened (a folder, a link or junction, something else), who owns it, and whether its access
// rules let anyone but the user and the administrators change what it holds. The core judges
// these facts (CheckFolderFacts); the page folder gathers them before it writes anything.
#ifndef PLQ_SHELL_WIN32_FOLDER_TRUST_H_
#define PLQ_SHELL_WIN32_FOLDER_TRUST_H_

#include <windows.h>

#include <string>

#include "shell/core/platform.h"

namespace plq::win32 {

// The facts of the folder open as `folder` (a handle with READ_CONTROL and FILE_READ_ATTRIBUTES,
// opened with FILE_FLAG_OPEN_REPARSE_POINT), found at `path`.
FolderFacts FactsOf(HANDLE folder, const std::wstring& path);

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_FOLDER_TRUST_H_
