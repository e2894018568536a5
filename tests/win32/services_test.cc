// The Windows backend's services under Wine: the pages read back from the executable's resources
// (the contract every backend's resource store keeps, tests/core/resource_store_contract.cc),
// Internet Explorer's command line (the test prefix's stand-in records it), the folders and the
// UTF-8 / UTF-16 texts.
#include "shell/win32/services.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "shell/core/layout.h"
#include "shell/win32/text.h"
#include "tests/core/fakes.h"
#include "tests/core/resource_store_contract.h"

namespace plq::testing {

std::unique_ptr<ResourceStore> MakeResourceStore() {
  return std::make_unique<win32::ResourceStore>();
}

const char* ResourceLookupCall() { return "FindResourceExW"; }

}  // namespace plq::testing

namespace plq::win32 {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The test prefix's stand-in for Internet Explorer appends one line per start to the file named
// by PLQ_STANDIN_LOG.
class BrowserLauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = dir_.path() / "starts.log";
    SetEnvironmentVariableW(L"PLQ_STANDIN_LOG", log_.wstring().c_str());
    SetEnvironmentVariableW(L"PLQ_STANDIN_WATCH", L"");
  }
  void TearDown() override { SetEnvironmentVariableW(L"PLQ_STANDIN_LOG", nullptr); }

  std::vector<std::string> Starts(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::vector<std::string> lines;
    while (std::chrono::steady_clock::now() < deadline) {
      lines.clear();
      std::ifstream file(log_);
      for (std::string line; std::getline(file, line);) lines.push_back(line);
      if (lines.size() >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return lines;
  }

  testing::TempDir dir_;
  fs::path log_;
};

TEST_F(BrowserLauncherTest, InternetExplorerGetsTheStoredCommandLineAndTheWindowStyle) {
  const std::string program = "program=C:\\Program Files\\Internet Explorer\\iexplore.exe";
  const std::string stored = "C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe   ";
  // One at a time: the browser is never waited for, so two starts may record in either order.
  ASSERT_TRUE(BrowserLauncher().Open("www.example.com", WindowStyle::kNormalFocus).ok());
  ASSERT_EQ(Starts(1).size(), 1u);
  ASSERT_TRUE(
      BrowserLauncher().Open("http://go.example.com/x?a=1&b=2", WindowStyle::kMaximizedFocus).ok());
  EXPECT_THAT(Starts(2), ElementsAre("show=1\tfiles_left=0\t" + program + "\tcommand=" + stored +
                                         "www.example.com",
                                     "show=3\tfiles_left=0\t" + program + "\tcommand=" + stored +
                                         "http://go.example.com/x?a=1&b=2"));
}

TEST(FoldersTest, ApplicationDirectoryHoldsTheRunningExecutable) {
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  EXPECT_EQ(fs::u8path(Folders().ApplicationDirectory()), fs::path(module).parent_path());
}

TEST(FoldersTest, ThePrivateFolderIsInTheUsersLocalAppData) {
  wchar_t local[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
  EXPECT_THAT(Folders().PrivateFolders(),
              ElementsAre(Narrow(std::wstring(local) + L"\\" + Widen(kPrivateFolderName))));
}

TEST(TextTest, Utf8AndUtf16RoundTrip) {
  for (const std::string& text :
       {std::string(), std::string("plqcalc"), std::string("排卵期计算器 \xF0\x9F\x93\x85"),
        std::string(5000, 'x')}) {
    EXPECT_EQ(Narrow(Widen(text)), text);
  }
  EXPECT_EQ(Widen("排卵"), L"\u6392\u5375");
}

TEST(TextTest, ErrorTextsCarryTheCode) {
  EXPECT_THAT(ErrorText(ERROR_FILE_NOT_FOUND), HasSubstr("(2)"));
  EXPECT_THAT(HresultText(E_NOINTERFACE), HasSubstr("(0x80004002)"));
  EXPECT_THAT(ErrorText(0xFFFFFFF0u), HasSubstr("(4294967280)"));
}

}  // namespace
}  // namespace plq::win32
