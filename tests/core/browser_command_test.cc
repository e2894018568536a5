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
