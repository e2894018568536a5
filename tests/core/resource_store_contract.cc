// The resource store's contract, run by each backend's tests on the pages built into the test
// program (PLQ_CALCULATOR_PAGE and PLQ_SIDE_PANEL_PAGE name the built files).
#include "tests/core/resource_store_contract.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/core/fakes.h"

namespace plq::testing {
namespace {

using ::testing::HasSubstr;

TEST(ResourceStoreContract, PagesAreTheBuiltBytesWhateverTheTypeCase) {
  const auto store = MakeResourceStore();
  const struct {
    const char* type;
    int id;
    const char* built;
  } cases[] = {{"custom", 101, PLQ_CALCULATOR_PAGE},
               {"CUSTOM", 101, PLQ_CALCULATOR_PAGE},
               {"Custom", 102, PLQ_SIDE_PANEL_PAGE}};
  for (const auto& c : cases) {
    Bytes bytes;
    ASSERT_TRUE(store->Read(c.type, c.id, &bytes).ok()) << c.type << " " << c.id;
    EXPECT_EQ(bytes, ReadFile(fs::u8path(c.built))) << c.type << " " << c.id;
    EXPECT_EQ(bytes.back(), 0) << "the trailing zero bytes belong to the page";
  }
}

TEST(ResourceStoreContract, BadTypeOrIdFailsAndLeavesTheBufferAlone) {
  const auto store = MakeResourceStore();
  const struct {
    std::string type;
    int id;
  } cases[] = {{"custom", 0},         {"custom", -101},
               {"custom", 103},       {"custom", INT_MAX},
               {"custom", INT_MIN},   {"", 101},
               {"ICON", 101},         {"custom/", 101},
               {"../custom", 101},    {"plqcalc", 101},
               {"custom/101", 0},     {std::string("cus\0tom", 7), 101},
               {"ｃｕｓｔｏｍ", 101}, {std::string(100000, 'c'), 101}};
  for (const auto& c : cases) {
    Bytes bytes = {1, 2, 3};
    const Status status = store->Read(c.type, c.id, &bytes);
    EXPECT_FALSE(status.ok()) << c.type.substr(0, 20) << " " << c.id;
    EXPECT_THAT(status.message(), HasSubstr(ResourceLookupCall()));
    EXPECT_EQ(bytes, (Bytes{1, 2, 3}));
  }
}

}  // namespace
}  // namespace plq::testing
