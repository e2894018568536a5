// Win32 text helpers: the core speaks UTF-8, the Win32 API UTF-16 (the W functions throughout, so
// paths and captions never pass through the ANSI code page).
#ifndef PLQ_SHELL_WIN32_TEXT_H_
#define PLQ_SHELL_WIN32_TEXT_H_

#include <windows.h>

#include <string>

namespace plq::win32 {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

// The system's own text for a Win32 error code or an HRESULT, with its code, in UTF-8.
std::string ErrorText(DWORD error);
std::string HresultText(HRESULT hr);

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_TEXT_H_
