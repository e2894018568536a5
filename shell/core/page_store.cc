// Page files are written and removed through std::filesystem only, so the same code runs on
// Linux and on Windows. Paths arrive as UTF-8 strings; u8path gives Windows its UTF-16 form.
#include "shell/core/page_store.h"

#include <cerrno>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace plq {
namespace {

namespace fs = std::filesystem;

constexpr PageEntry kPages[] = {kCalculatorPage, kSidePanelPage};

// System reason texts come in whatever encoding the C library uses (the ANSI code page on
// Windows); the user sees them through UTF-8 only, so bytes that are not UTF-8 become U+FFFD.
std::string AsUtf8(const std::string& text) {
  std::string result;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    }
    if (valid && length >= 3) {
      const auto second = static_cast<unsigned char>(text[i + 1]);
      // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
      valid = !(lead == 0xE0 && second < 0xA0) && !(lead == 0xED && second > 0x9F) &&
              !(lead == 0xF0 && second < 0x90) && !(lead == 0xF4 && second > 0x8F);
    }
    if (valid) {
      result.append(text, i, length);
      i += length;
    } else {
      result += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return result;
}

std::string Reason(const std::error_code& error) { return AsUtf8(error.message()); }

// Refuses what would silently name another file: an empty folder would put the pages at the
// root, and an embedded NUL would cut the path short in every system call.
bool ToPath(const std::string& text, fs::path* path, std::string* reason) {
  if (text.empty()) {
    *reason = "路径为空";
    return false;
  }
  if (text.find('\0') != std::string::npos) {
    *reason = "路径中含有空字符";
    return false;
  }
  try {
    *path = fs::u8path(text);
  } catch (const std::exception&) {
    *reason = "路径不是有效的 UTF-8 文本";
    return false;
  }
  // A relative folder would follow whatever the working directory happens to be.
  if (!path->is_absolute()) {
    *reason = "不是绝对路径";
    return false;
  }
  return true;
}

// A fresh name beside the page file. The random part keeps two copies of the program, or a
// name planted in advance, from meeting the same temporary file.
std::string TemporaryName(const std::string& target) {
  static std::uint64_t counter = 0;
  std::uint64_t value = ++counter * 0x9E3779B97F4A7C15ULL;
  try {
    std::random_device device;
    value ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (const std::exception&) {
    // The counter alone still differs within this process; the existence check covers the rest.
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string suffix(16, '0');
  for (char& digit : suffix) {
    digit = kHex[value & 0xF];
    value >>= 4;
  }
  return target + "." + suffix + ".tmp";
}

// Deletes the temporary file on every way out unless it has been renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!path_.empty()) {
      std::error_code ignored;
      fs::remove(path_, ignored);
    }
  }
  void Keep() { path_.clear(); }

 private:
  fs::path path_;
};

Status WriteFailure(const std::string& target, const std::string& reason) {
  return Status::Failure("无法写入网页文件 " + target + "：" + reason);
}

// Windows' rename may refuse to replace an existing file (or one another program holds open):
// the old page file is then deleted and the rename tried once more.
std::error_code RenameOver(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::rename(from, to, error);
  if (!error || (error != std::errc::file_exists && error != std::errc::permission_denied)) {
    return error;
  }
  std::error_code status_error;
  const fs::file_status existing = fs::symlink_status(to, status_error);
  if (status_error || fs::is_directory(existing)) return error;
  std::error_code remove_error;
  if (!fs::remove(to, remove_error) && remove_error) return error;
  error.clear();
  fs::rename(from, to, error);
  return error;
}

Status WritePage(const Bytes& bytes, const std::string& folder, const PageEntry& page) {
  const std::string target_text = PagePath(folder, page);
  fs::path target;
  std::string reason;
  if (!ToPath(target_text, &target, &reason)) return WriteFailure(target_text, reason);

  fs::path temporary;
  for (int attempt = 0; attempt < 16 && temporary.empty(); ++attempt) {
    fs::path candidate = fs::u8path(TemporaryName(target_text));
    std::error_code error;
    if (fs::symlink_status(candidate, error).type() == fs::file_type::not_found) {
      temporary = std::move(candidate);
    } else if (error) {
      return WriteFailure(target_text, Reason(error));
    }
  }
  if (temporary.empty()) return WriteFailure(target_text, "找不到可用的临时文件名");

  errno = 0;
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) {
    const int open_error = errno;
    return WriteFailure(
        target_text, open_error != 0 ? Reason(std::error_code(open_error, std::generic_category()))
                                     : "无法创建临时文件");
  }
  TemporaryFile guard(temporary);
  if (!bytes.empty()) {
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  errno = 0;
  out.close();
  if (out.fail()) {
    const int write_error = errno;
    return WriteFailure(target_text, write_error != 0 ? Reason(std::error_code(
                                                            write_error, std::generic_category()))
                                                      : "写入临时文件失败");
  }
  const std::error_code error = RenameOver(temporary, target);
  if (error) return WriteFailure(target_text, Reason(error));
  guard.Keep();
  return Status::Ok();
}

}  // namespace

std::string PagePath(const std::string& folder, const PageEntry& page) {
  return folder + page.file_name;
}

Status ReadPages(ResourceStore& resources, PageContents* contents) {
  Bytes* targets[] = {&contents->calculator, &contents->side_panel};
  for (size_t i = 0; i < 2; ++i) {
    targets[i]->clear();
    const Status read = resources.Read(kPageResourceType, kPages[i].resource_id, targets[i]);
    if (!read.ok()) {
      return Status::Failure("无法读取内嵌网页（资源 " + std::string(kPageResourceType) + " " +
                             std::to_string(kPages[i].resource_id) + "）：" + read.message());
    }
  }
  return Status::Ok();
}

Status WritePages(const PageContents& contents, const std::string& folder) {
  fs::path checked;
  std::string reason;
  if (!ToPath(folder, &checked, &reason)) {
    return Status::Failure("无法写入网页文件到文件夹 " + folder + "：" + reason);
  }
  const Bytes* sources[] = {&contents.calculator, &contents.side_panel};
  for (size_t i = 0; i < 2; ++i) {
    const Status written = WritePage(*sources[i], folder, kPages[i]);
    if (!written.ok()) {
      for (size_t k = 0; k < i; ++k) {
        std::error_code ignored;
        fs::remove(fs::u8path(PagePath(folder, kPages[k])), ignored);
      }
      return written;
    }
  }
  return Status::Ok();
}

Status ExtractPages(ResourceStore& resources, const std::string& folder) {
  fs::path checked;
  std::string reason;
  if (!ToPath(folder, &checked, &reason)) {
    return Status::Failure("无法写入网页文件到文件夹 " + folder + "：" + reason);
  }
  PageContents contents;
  const Status read = ReadPages(resources, &contents);
  if (!read.ok()) return read;
  return WritePages(contents, folder);
}

Status RemovePages(const std::string& folder) {
  fs::path checked;
  std::string reason;
  if (!ToPath(folder, &checked, &reason)) {
    return Status::Failure("无法删除文件夹 " + folder + " 中的网页文件：" + reason);
  }
  std::string failures;
  for (const PageEntry& page : kPages) {
    const std::string path_text = PagePath(folder, page);
    const fs::path path = fs::u8path(path_text);
    std::error_code error;
    std::string why;
    const fs::file_status status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found) continue;
    if (error) {
      why = Reason(error);
    } else if (fs::is_directory(status)) {
      // Not a file this program wrote: leave it alone.
      why = "这是一个文件夹";
    } else if (fs::remove(path, error) || !error || error == std::errc::no_such_file_or_directory) {
      continue;
    } else {
      why = Reason(error);
    }
    if (!failures.empty()) failures += "\n";
    failures += "无法删除网页文件 " + path_text + "：" + why;
  }
  return failures.empty() ? Status::Ok() : Status::Failure(failures);
}

Status PreparePrivateFolder(const std::string& folder) {
  fs::path path;
  std::string reason;
  if (!ToPath(folder, &path, &reason)) {
    return Status::Failure("无法使用文件夹 " + folder + "：" + reason);
  }
  const auto failure = [&folder](const std::string& why) {
    return Status::Failure("无法使用文件夹 " + folder + "：" + why);
  };
  std::error_code error;
  fs::file_status status = fs::symlink_status(path, error);
  if (status.type() == fs::file_type::not_found) {
    // A fresh account may not have its cache folder yet; the parents get the usual mode, the
    // private folder itself is narrowed at once.
    if (path.has_parent_path()) {
      fs::create_directories(path.parent_path(), error);
      if (error) return failure(Reason(error));
    }
    fs::create_directory(path, error);
    if (error) return failure(Reason(error));
    status = fs::symlink_status(path, error);
  }
  if (error) return failure(Reason(error));
  if (fs::is_symlink(status)) return failure("这是一个链接，不是文件夹");
  if (!fs::is_directory(status)) return failure("这不是文件夹");
  // Fails for a folder another user owns, which therefore is not private.
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, error);
  if (error) return failure(Reason(error));
  return Status::Ok();
}

void RemovePrivateFolderIfEmpty(const std::string& folder) {
  fs::path path;
  std::string reason;
  if (!ToPath(folder, &path, &reason)) return;
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(path, error))) return;
  // rmdir removes only an empty folder, with no window between a check and the removal.
  fs::remove(path, error);
}

}  // namespace plq
