// What every backend's page folder (platform.h's PageFolder and Folders::Open) must do, as one
// suite of tests that each backend's test program runs against its own implementation. The
// backend's test program defines the hooks below.
#ifndef PLQ_TESTS_CORE_PAGE_FOLDER_CONTRACT_H_
#define PLQ_TESTS_CORE_PAGE_FOLDER_CONTRACT_H_

#include <filesystem>
#include <memory>
#include <string>

#include "shell/core/platform.h"
#include "shell/core/status.h"

namespace plq::testing {

// Opens `path` with the backend's own page folder.
Status OpenPageFolder(const std::string& path, FolderKind kind,
                      std::unique_ptr<PageFolder>* folder);

// Lets users other than the owner add and delete files in `folder` (POSIX: mode 0777; Windows:
// an access rule for Everyone). False when the platform cannot express it here.
bool LetOthersWrite(const std::filesystem::path& folder);

// Whether `name` is a file the backend keeps in a page folder it holds (a lock file), which the
// contract's listings pass over.
bool IsBookkeeping(const std::string& name);

}  // namespace plq::testing

#endif  // PLQ_TESTS_CORE_PAGE_FOLDER_CONTRACT_H_
