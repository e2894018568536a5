// The Linux backend's services that need no window: the pages carried as GResources (the
// contract every backend's resource store keeps, tests/core/resource_store_contract.cc), the
// start of xdg-open and the folders. Real GLib and a recording fake xdg-open first on PATH.
#include "shell/gtk/services.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/core/resource_store_contract.h"

namespace plq::testing {

std::unique_ptr<ResourceStore> MakeResourceStore() {
  return std::make_unique<gtk::ResourceStore>();
}

const char* ResourceLookupCall() { return "g_resource_lookup_data"; }

}  // namespace plq::testing

namespace plq::gtk {
namespace {

namespace fs = std::filesystem;

// A folder with a fake xdg-open that appends its arguments, one start per line, to a record.
class BrowserLauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/plqcalc-backend-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    record_ = folder_ + "/record";
    std::ofstream fake(folder_ + "/xdg-open");
    fake << "#!/bin/sh\nfor argument in \"$@\"; do printf '[%s]' \"$argument\"; done >> '"
         << record_ << ".part'\necho >> '" << record_ << ".part'\nmv '" << record_ << ".part' '"
         << record_ << "'\n";
    fake.close();
    fs::permissions(folder_ + "/xdg-open", fs::perms::owner_all);
    const char* path = std::getenv("PATH");
    saved_path_ = path ? path : "";
    setenv("PATH", (folder_ + ":/usr/bin:/bin").c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", saved_path_.c_str(), 1);
    fs::remove_all(folder_);
  }

  // What the fake received for one start, waiting for it (xdg-open is never waited for).
  std::string NextStart() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(record_) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream file(record_);
    std::string line;
    std::getline(file, line);
    fs::remove(record_);
    return line;
  }

  std::string folder_;
  std::string record_;
  std::string saved_path_;
};

TEST_F(BrowserLauncherTest, AddressesReachXdgOpenAsOneArgumentWithAScheme) {
  struct Case {
    const char* address;
    const char* received;
  };
  for (const Case& c : {
           Case{"www.example.com", "[http://www.example.com]"},
           // A host with a port has no scheme, whatever GLib's scheme check makes of it.
           Case{"www.example.com:8080/a", "[http://www.example.com:8080/a]"},
           Case{"", "[http://]"},
           Case{"http://go.example.com/a.php?pid=mm_1_2_3&eventid=101329",
                "[http://go.example.com/a.php?pid=mm_1_2_3&eventid=101329]"},
           Case{"HTTPS://www.example.com/", "[HTTPS://www.example.com/]"},
           Case{"--help", "[http://--help]"},
           Case{"-", "[http://-]"},
           Case{"www.example.com/a b;$(touch x)`id`",
                "[http://www.example.com/a b;$(touch x)`id`]"},
           Case{"例子.example.com", "[http://例子.example.com]"},
       }) {
    ASSERT_TRUE(BrowserLauncher().Open(c.address, WindowStyle::kNormalFocus).ok()) << c.address;
    EXPECT_EQ(NextStart(), c.received) << c.address;
  }
  EXPECT_FALSE(fs::exists(folder_ + "/x")) << "the address went through a shell";
}

TEST_F(BrowserLauncherTest, AddressWithANulIsRefused) {
  const std::string address("www.example.com\0x", 17);
  EXPECT_FALSE(BrowserLauncher().Open(address, WindowStyle::kMaximizedFocus).ok());
}

TEST_F(BrowserLauncherTest, MissingXdgOpenIsAFailureWithTheReason) {
  fs::remove(folder_ + "/xdg-open");
  setenv("PATH", folder_.c_str(), 1);  // the system's own xdg-open is out of reach too
  const Status status = BrowserLauncher().Open("www.example.com", WindowStyle::kNormalFocus);
  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.message().find("xdg-open"), std::string::npos) << status.message();
}

TEST(FoldersTest, ApplicationDirectoryHoldsTheRunningExecutable) {
  const std::string directory = Folders("ignored").ApplicationDirectory();
  EXPECT_TRUE(fs::equivalent(directory, fs::read_symlink("/proc/self/exe").parent_path()));
}

TEST(FoldersTest, PrivateFoldersFollowTheUsersRuntimeAndCacheFolders) {
  char pattern[] = "/tmp/plqcalc-runtime-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string runtime = pattern;
  struct Case {
    std::string runtime;  // "unset": not set
    std::vector<std::string> expected;
  };
  // GLib reads XDG_CACHE_HOME once per process: the cache folder is whatever it found.
  const std::string cache = std::string(g_get_user_cache_dir()) + "/plqcalc";
  const Case cases[] = {
      {runtime, {runtime + "/plqcalc", cache}},
      {"unset", {cache}},
      {"", {cache}},
      {"relative/run", {cache}},
      // The session's runtime folder is the session's to make: a missing one is passed over.
      {runtime + "/missing", {cache}},
  };
  for (const Case& c : cases) {
    if (c.runtime == "unset") {
      unsetenv("XDG_RUNTIME_DIR");
    } else {
      setenv("XDG_RUNTIME_DIR", c.runtime.c_str(), 1);
    }
    EXPECT_EQ(Folders("plqcalc").PrivateFolders(), c.expected) << c.runtime;
  }
  EXPECT_FALSE(fs::exists(runtime + "/missing"));
  fs::remove_all(runtime);
}

}  // namespace
}  // namespace plq::gtk
