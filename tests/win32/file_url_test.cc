// The panes' file URLs (the core's FileUrl) read back under Wine as Windows reads them: the shell
// (PathCreateFromUrlW) turns each into exactly the page file's path, and URL Moniker, which the
// WebBrowser control loads files through, reads exactly the file's bytes.
//
// Wine is more forgiving than Internet Explorer here: it also finds the file through a bare path
// holding "#", which IE takes for a fragment. So these tests show that the URL reaches the file;
// that it must be a URL at all is IE's rule, and the core's tests hold the URL's form.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <urlmon.h>
#include <windows.h>
#include <wrl/client.h>

#include <filesystem>
#include <string>

#include "shell/core/browser_command.h"
#include "shell/win32/text.h"
#include "tests/core/fakes.h"

namespace plq::win32 {
namespace {

namespace fs = std::filesystem;
using Microsoft::WRL::ComPtr;

Bytes ReadThroughUrl(const std::wstring& url, HRESULT* result) {
  ComPtr<IStream> stream;
  *result = URLOpenBlockingStreamW(nullptr, url.c_str(), stream.GetAddressOf(), 0, nullptr);
  Bytes bytes;
  if (FAILED(*result)) return bytes;
  unsigned char buffer[4096];
  ULONG got = 0;
  while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got > 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  return bytes;
}

TEST(FileUrlTest, TheUrlOfAPageInAnOddlyNamedFolderLeadsBackToThatFile) {
  const struct {
    const char* folder;
    // Wine 8's URL Moniker decodes a file URL twice, so "%2541" reaches "A", not "%41";
    // Windows decodes once.
    bool wine_reads_it;
  } cases[] = {
      {"plain", true},
      {"程序 文件夹", true},
      {"x#1", true},
      {"100%", true},
      {"50% off #2", true},
      {"a&b;c=d,e+f", true},
      {"Ünïcödé [1] {2}", true},
      {"quote'tick`caret^", true},
      {"%41", false},
  };
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    testing::TempDir dir;
    const fs::path folder = dir.path() / fs::u8path(c.folder);
    fs::create_directory(folder);
    const Bytes page = testing::CalculatorBytes();
    testing::WriteFile(folder / "plqclear.htm", page);
    // The path as the core writes it: the folder, then "/" and the file name.
    const std::wstring url = Widen(FileUrl(Narrow(folder.wstring()) + "/plqclear.htm"));

    wchar_t path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    ASSERT_EQ(PathCreateFromUrlW(url.c_str(), path, &length, 0), S_OK) << Narrow(url);
    EXPECT_EQ(std::wstring(path), (folder / "plqclear.htm").wstring()) << Narrow(url);

    HRESULT read = E_FAIL;
    const Bytes bytes = ReadThroughUrl(url, &read);
    if (!c.wine_reads_it) continue;
    ASSERT_EQ(read, S_OK) << Narrow(url);
    EXPECT_EQ(bytes, page) << Narrow(url);
  }
  CoUninitialize();
}

}  // namespace
}  // namespace plq::win32
