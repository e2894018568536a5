#include "shell/core/browser_command.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "shell/core/addresses.h"

namespace plq {
namespace {

TEST(BrowserCommandTest, StoredPathThreeSpacesAndTheAddress) {
  // Written out byte by byte: every separator is two backslash characters.
  const std::string stored = "C:" + std::string(2, '\\') + "Program Files" + std::string(2, '\\') +
                             "Internet Explorer" + std::string(2, '\\') + "IEXPLORE.exe";
  EXPECT_EQ(BrowserCommandLine(kHomePageAddress), stored + "   www.example.com");
  EXPECT_EQ(BrowserCommandLine(kExitPageAddress), stored + "   " + kExitPageAddress);
  EXPECT_EQ(BrowserCommandLine(""), stored + "   ");
}

TEST(BrowserCommandTest, ProgramReadsEachDoubledSeparatorAsOne) {
  EXPECT_EQ(BrowserProgram(), "C:\\Program Files\\Internet Explorer\\IEXPLORE.exe");
}

TEST(AddressWithSchemeTest, BareHostsGetHttp) {
  const struct {
    std::string address;
    std::string expected;
  } cases[] = {
      {"www.example.com", "http://www.example.com"},
      {"www.example.com:8080/a", "http://www.example.com:8080/a"},
      {"http://go.example.com/x?a=1", "http://go.example.com/x?a=1"},
      {"HTTPS://www.example.com", "HTTPS://www.example.com"},
      {"svn+ssh://host", "svn+ssh://host"},
      {"1http://host", "http://1http://host"},
      {"://host", "http://://host"},
      {"", "http://"},
      {"例子.example.com", "http://例子.example.com"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AddressWithScheme(c.address), c.expected) << c.address;
  }
}

TEST(FileUrlTest, WindowsPathsBecomeUrlsThatNameExactlyTheFile) {
  const struct {
    std::string path;
    std::string expected;
  } cases[] = {
      // The core's own page paths: the folder, then "/" and the file name.
      {"C:\\Program Files\\plqcalc/plqclear.htm",
       "file:///C:/Program%20Files/plqcalc/plqclear.htm"},
      {"C:\\/plqclear.htm", "file:///C:/plqclear.htm"},
      {"D:\\/1.htm", "file:///D:/1.htm"},
      {"C:\\a\\\\b//c", "file:///C:/a/b/c"},
      // What IE would take for a fragment, an escape or a query is encoded.
      {"C:\\x#1/plqclear.htm", "file:///C:/x%231/plqclear.htm"},
      {"C:\\100%/1.htm", "file:///C:/100%25/1.htm"},
      {"C:\\%41/1.htm", "file:///C:/%2541/1.htm"},
      {"C:\\a b\\c?d/1.htm", "file:///C:/a%20b/c%3Fd/1.htm"},
      {"C:\\\"<>[]^`{|}/1.htm", "file:///C:/%22%3C%3E%5B%5D%5E%60%7B%7C%7D/1.htm"},
      {std::string("C:\\tab\tnl\nnul") + '\0' + "del\x7F/1.htm",
       "file:///C:/tab%09nl%0Anul%00del%7F/1.htm"},
      // What a URL's path may hold stays.
      {"C:\\a-b._~!$&'()*+,;=:@/1.htm", "file:///C:/a-b._~!$&'()*+,;=:@/1.htm"},
      // Characters beyond ASCII stay as they are (IE reads escaped bytes in the ANSI code page).
      {"C:\\程序 文件夹/plqclear.htm", "file:///C:/程序%20文件夹/plqclear.htm"},
      {"C:\\Ünïcödé\xF0\x9F\x93\x85/1.htm", "file:///C:/Ünïcödé\xF0\x9F\x93\x85/1.htm"},
      // Network shares: the server is the host.
      {"\\\\server\\share\\dir/plqclear.htm", "file://server/share/dir/plqclear.htm"},
      {"\\\\server\\share #2/1.htm", "file://server/share%20%232/1.htm"},
      // Long-path forms.
      {"\\\\?\\C:\\dir/1.htm", "file:///C:/dir/1.htm"},
      {"\\\\?\\UNC\\server\\share/1.htm", "file://server/share/1.htm"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileUrl(c.path), c.expected) << c.path;
  }
}

TEST(AddressesTest, TheExitPageAndTheWidgetCarryOneAffiliateId) {
  // The publisher is paid through both: one identifier, of the form mm_<n>_<n>_<n>.
  const std::regex pid("[?&]pid=(mm_[0-9]+_[0-9]+_[0-9]+)&");
  std::cmatch exit_page;
  std::cmatch widget;
  ASSERT_TRUE(std::regex_search(kExitPageAddress, exit_page, pid));
  ASSERT_TRUE(std::regex_search(kWidgetAddress, widget, pid));
  EXPECT_EQ(exit_page[1], widget[1]);
}

}  // namespace
}  // namespace plq
