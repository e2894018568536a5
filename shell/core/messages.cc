#include "shell/core/messages.h"

#include <string>

namespace plq::messages {
namespace {

// The sentence, then on its own line what the system said, when it said anything.
std::string WithDetail(std::string sentence, const std::string& detail) {
  if (!detail.empty()) sentence += "\n" + detail;
  return sentence;
}

}  // namespace

std::string CannotOpenAddress(const std::string& address, const std::string& detail) {
  return WithDetail("无法打开网页 " + address, detail);
}

std::string CannotReadPage(const std::string& type, int id, const std::string& detail) {
  return "无法读取内嵌网页（资源 " + type + " " + std::to_string(id) + "）：" + detail;
}

std::string CannotWritePage(const std::string& path, const std::string& detail) {
  return "无法写入网页文件 " + path + "：" + detail;
}

std::string CannotRemovePage(const std::string& path, const std::string& detail) {
  return "无法删除网页文件 " + path + "：" + detail;
}

std::string CannotUseFolder(const std::string& folder, const std::string& why) {
  return "无法使用文件夹 " + folder + "：" + why;
}

std::string NoFolderForPages(const std::string& reasons) {
  return "没有可以写入网页文件的文件夹，程序无法启动。" + reasons;
}

std::string CannotShowPage(const std::string& path, const std::string& detail) {
  return "无法在窗口中打开网页文件 " + path + "：" + detail;
}

std::string CalculatorKeepsFailing(const std::string& detail) {
  return WithDetail("显示计算器的网页进程一再意外结束，计算器无法显示。程序将关闭，请重新启动。",
                    detail);
}

std::string CannotStart(const std::string& detail) {
  return WithDetail("排卵期计算器无法启动。", detail);
}

std::string TooFewFiles(unsigned long long limit, unsigned long long needed) {
  return "系统允许本程序同时打开的文件数太少（ulimit -n）：上限为 " + std::to_string(limit) +
         "，至少需要 " + std::to_string(needed) + "。";
}

std::string TooLittleMemory(unsigned long long limit_mib, unsigned long long needed_mib) {
  return "系统允许本程序使用的内存地址空间太小（ulimit -v）：上限为 " + std::to_string(limit_mib) +
         " MB，至少需要 " + std::to_string(needed_mib) + " MB。";
}

}  // namespace plq::messages
