#include "shell/core/pane_policy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plq {
namespace {

using Kind = LoadRequest::Kind;
constexpr char kPage[] = "file:///home/u/plq%20calc/plqclear.htm";

TEST(PanePolicyTest, EachPaneStaysOnItsPageFramesStayOnTheWebNewWindowsGoToTheBrowser) {
  const struct {
    Kind kind;
    std::string address;
    bool gesture;
    LoadVerdict expected;
  } cases[] = {
      // The page itself, its "#" links, and loading it again after a crash.
      {Kind::kTopLevel, kPage, false, LoadVerdict::kAllow},
      {Kind::kTopLevel, std::string(kPage) + "#", true, LoadVerdict::kAllow},
      {Kind::kTopLevel, std::string(kPage) + "#tooltip41", true, LoadVerdict::kAllow},
      // Anything else, however it was asked for: a widget's target=_top, a dropped link or
      // file, a failed load's next try, a scheme some other program answers.
      {Kind::kTopLevel, "http://widget.example.com/buy", true, LoadVerdict::kRefuse},
      {Kind::kTopLevel, "file:///etc/passwd", true, LoadVerdict::kRefuse},
      {Kind::kTopLevel, "file:///home/u/plq%20calc/1.htm", false, LoadVerdict::kRefuse},
      {Kind::kTopLevel, "file:///home/u/plq%20calc/plqclear.htm.bak", false, LoadVerdict::kRefuse},
      {Kind::kTopLevel, "file:///home/u/plq%20calc/plqclear.htm?x", false, LoadVerdict::kRefuse},
      {Kind::kTopLevel, "mailto:a@example.com", true, LoadVerdict::kRefuse},
      {Kind::kTopLevel, "about:blank", false, LoadVerdict::kRefuse},
      {Kind::kTopLevel, "", false, LoadVerdict::kRefuse},
      // Frames: the widget and what it frames itself; no local files, no other programs.
      {Kind::kFrame, "http://widget.example.com/interface_v2.php?pid=1", false,
       LoadVerdict::kAllow},
      {Kind::kFrame, "HTTPS://ads.example.com/", false, LoadVerdict::kAllow},
      {Kind::kFrame, "about:blank", false, LoadVerdict::kAllow},
      {Kind::kFrame, "About:SrcDoc", false, LoadVerdict::kAllow},
      {Kind::kFrame, "data:text/html,<p>x", false, LoadVerdict::kAllow},
      {Kind::kFrame, "blob:http://widget.example.com/1f2e", false, LoadVerdict::kAllow},
      {Kind::kFrame, "javascript:void(0)", true, LoadVerdict::kAllow},
      {Kind::kFrame, "file:///home/u/.ssh/id_rsa", false, LoadVerdict::kRefuse},
      {Kind::kFrame, "about:config", false, LoadVerdict::kRefuse},
      {Kind::kFrame, "ms-settings:privacy", true, LoadVerdict::kRefuse},
      {Kind::kFrame, "res://ieframe.dll/navcancl.htm", false, LoadVerdict::kRefuse},
      {Kind::kFrame, "widget.example.com", false, LoadVerdict::kRefuse},
      // New windows: a click on a web address opens the browser; nothing else opens anything.
      {Kind::kNewWindow, "http://shop.example.com/item?id=1", true, LoadVerdict::kOpenInBrowser},
      {Kind::kNewWindow, "HTTPS://shop.example.com/", true, LoadVerdict::kOpenInBrowser},
      {Kind::kNewWindow, "http://shop.example.com/item?id=1", false, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "file:///etc/passwd", true, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "data:text/html,<script>x</script>", true, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "javascript:alert(1)", true, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "mailto:a@example.com", true, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "steam://run/1", true, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "about:blank", true, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "http://a.example.com/ --incognito", true, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "http://a.example.com/\n-x", true, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "http:", true, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "https://", true, LoadVerdict::kRefuse},
      {Kind::kNewWindow, "", true, LoadVerdict::kRefuse},
  };
  for (const auto& c : cases) {
    LoadRequest request;
    request.kind = c.kind;
    request.address = c.address;
    request.user_gesture = c.gesture;
    EXPECT_EQ(JudgeLoad(request, kPage), c.expected)
        << static_cast<int>(c.kind) << " " << c.address << " gesture " << c.gesture;
  }
}

TEST(PanePolicyTest, APaneThatWasSentNowhereTakesNoTopLevelLoad) {
  LoadRequest request;
  request.address = "";
  EXPECT_EQ(JudgeLoad(request, ""), LoadVerdict::kRefuse);
  request.address = "file:///x";
  EXPECT_EQ(JudgeLoad(request, ""), LoadVerdict::kRefuse);
}

TEST(PanePolicyTest, ContextMenusOfferAFormsEditingAndNothingElse) {
  const auto actions = [](bool field, bool selection) {
    std::vector<EditAction> found;
    for (const MenuEntry& entry : ContextMenuEntries(field, selection)) {
      EXPECT_NE(std::string(entry.text), "");
      found.push_back(entry.action);
    }
    return found;
  };
  const std::vector<EditAction> editing = {EditAction::kCut, EditAction::kCopy, EditAction::kPaste,
                                           EditAction::kDelete, EditAction::kSelectAll};
  EXPECT_EQ(actions(true, false), editing);
  EXPECT_EQ(actions(true, true), editing);
  EXPECT_EQ(actions(false, true), std::vector<EditAction>{EditAction::kCopy});
  EXPECT_EQ(actions(false, false), std::vector<EditAction>{});
}

}  // namespace
}  // namespace plq
