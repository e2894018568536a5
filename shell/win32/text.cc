// Win32 text helpers: MultiByteToWideChar/WideCharToMultiByte for UTF-8, FormatMessageW for the
// system's wording of an error, in the user's language.
#include "shell/win32/text.h"

#include <cstdio>
#include <memory>

namespace plq::win32 {
namespace {

struct LocalFreeDeleter {
  void operator()(wchar_t* text) const { LocalFree(text); }
};

std::string CodeText(const char* format, unsigned long code) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, code);
  return buffer;
}

std::string SystemText(DWORD code) {
  wchar_t* raw = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
  std::unique_ptr<wchar_t, LocalFreeDeleter> owned(raw);
  if (length == 0) return {};
  std::wstring text(raw, length);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  return Narrow(text);
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(const std::wstring& utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::string ErrorText(DWORD error) {
  const std::string text = SystemText(error);
  const std::string code = CodeText("(%lu)", error);
  return text.empty() ? code : text + " " + code;
}

std::string HresultText(HRESULT hr) {
  const std::string text = SystemText(static_cast<DWORD>(hr));
  const std::string code = CodeText("(0x%08lX)", static_cast<unsigned long>(hr));
  return text.empty() ? code : text + " " + code;
}

}  // namespace plq::win32
