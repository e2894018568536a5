// Every text the user reads, worded here in the program's language: the captions, the menu
// entries and the message boxes. Backends hand in the technical detail (a failed call and the
// system's reason), which follows the sentence. The main window's caption (kCaption), which the
// build needs too, is worded in shell/core/facts.cmake.
#ifndef PLQ_SHELL_CORE_MESSAGES_H_
#define PLQ_SHELL_CORE_MESSAGES_H_

#include <string>

#include "shell/core/facts.h"
#include "shell/core/layout.h"

namespace plq {

// The menu entries `homepage` and `about`, in this order.
inline constexpr char kHomepageText[] = "主页";
inline constexpr char kAboutText[] = "关于";
// The one button of a message box.
inline constexpr char kOkText[] = "确定";
// The entries a pane's context menu may offer (pane_policy.h).
inline constexpr char kCutText[] = "剪切";
inline constexpr char kCopyText[] = "复制";
inline constexpr char kPasteText[] = "粘贴";
inline constexpr char kDeleteText[] = "删除";
inline constexpr char kSelectAllText[] = "全选";
// A field's menu also keeps the desktop's input method entries (Linux), under these labels.
inline constexpr char kInputMethodsText[] = "输入法";
inline constexpr char kUnicodeText[] = "插入 Unicode 控制字符";
// What a screen reader says for each pane.
inline constexpr char kCalculatorPaneName[] = "计算器";
inline constexpr char kSidePanelPaneName[] = "侧栏：推荐商品（广告）";
constexpr const char* PaneName(Pane pane) {
  return pane == Pane::kWebBrowser1 ? kCalculatorPaneName : kSidePanelPaneName;
}

namespace messages {

// A browser that could not be started on `address`.
std::string CannotOpenAddress(const std::string& address, const std::string& detail);
// Start-up: a page that cannot be read from the executable.
std::string CannotReadPage(const std::string& type, int id, const std::string& detail);
// A page file that cannot be written or removed; `path` is the file.
std::string CannotWritePage(const std::string& path, const std::string& detail);
std::string CannotRemovePage(const std::string& path, const std::string& detail);
// A folder that cannot hold the page files, and why.
std::string CannotUseFolder(const std::string& folder, const std::string& why);
// No folder could take the pages; `reasons` has one line per folder tried, each starting with
// a line break.
std::string NoFolderForPages(const std::string& reasons);
// A pane that cannot open its page file.
std::string CannotShowPage(const std::string& path, const std::string& detail);
// The calculator's page ended twice in a row before it could be shown again.
std::string CalculatorKeepsFailing(const std::string& detail);
// The program cannot start at all (no window, no display...).
std::string CannotStart(const std::string& detail);
// A limit set on the program that is below what it needs and cannot be raised (then it cannot
// start): the number of files it may have open, the memory (address space, in MiB) it may use.
std::string TooFewFiles(unsigned long long limit, unsigned long long needed);
std::string TooLittleMemory(unsigned long long limit_mib, unsigned long long needed_mib);

// Why a folder is not used for the page files.
inline constexpr char kEmptyPath[] = "路径为空";
inline constexpr char kPathWithNul[] = "路径中含有空字符";
inline constexpr char kBadPath[] = "不是有效的绝对路径";
inline constexpr char kNoSuchFolder[] = "文件夹不存在";
inline constexpr char kIsALink[] = "这是一个链接，不是文件夹";
inline constexpr char kNotAFolder[] = "这不是文件夹";
inline constexpr char kOwnedByAnother[] = "文件夹属于其他用户";
inline constexpr char kOthersCanWrite[] = "其他用户也可以改动这个文件夹中的文件";
// The pages could be written there, but a path that long cannot be opened to show them.
inline constexpr char kPathTooLong[] = "路径太长，其中的网页文件无法打开";

}  // namespace messages
}  // namespace plq

#endif  // PLQ_SHELL_CORE_MESSAGES_H_
