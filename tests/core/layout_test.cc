#include "shell/core/layout.h"

#include <gtest/gtest.h>

#include <array>

namespace plq {
namespace {

TEST(LayoutTest, SizesScaleWithTheScreensDensityRoundedAsMulDivDoes) {
  const struct {
    int pixels;
    int dpi;
    int expected;
  } cases[] = {
      {735, 96, 735},  {496, 96, 496},  {735, 144, 1103}, {496, 144, 744},  {553, 144, 830},
      {519, 144, 779}, {209, 144, 314}, {497, 144, 746},  {552, 144, 828},  {735, 192, 1470},
      {735, 120, 919}, {1, 144, 2},     {1, 143, 1},      {0, 144, 0},      {-1, 144, -2},
      {100, 144, 150}, {100, 192, 200}, {735, 72, 551},   {496, 288, 1488},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScaleToDpi(c.pixels, c.dpi), c.expected) << c.pixels << " at " << c.dpi;
  }
}

TEST(LayoutTest, AtTheBaseDensityThePanesStayWhereTheyAre) {
  for (const PanePlace& place : kPanePlaces) {
    const PanePlace same = ScaledPlace(place, kBaseDpi);
    EXPECT_EQ(same.x, place.x);
    EXPECT_EQ(same.y, place.y);
    EXPECT_EQ(same.width, place.width);
    EXPECT_EQ(same.height, place.height);
  }
  const PanePlace side = ScaledPlace(kWebBrowser2Place, 144);
  EXPECT_EQ(side.pane, Pane::kWebBrowser2);
  EXPECT_EQ((std::array<int, 4>{side.x, side.y, side.width, side.height}),
            (std::array<int, 4>{828, 0, 314, 746}));
}

}  // namespace
}  // namespace plq
