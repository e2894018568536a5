#include "shell/core/web_processes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plq {
namespace {

using Step = WebProcesses::Step;

// One report from the engine: "ended 1" or "hung 2".
struct Report {
  const char* what;
  Pane pane;
};

std::vector<Step> Play(const std::vector<Report>& reports) {
  WebProcesses processes;
  std::vector<Step> steps;
  for (const Report& report : reports) {
    steps.push_back(std::string(report.what) == "ended"
                        ? processes.ProcessEnded(report.pane)
                        : processes.ProcessUnresponsive(report.pane));
  }
  return steps;
}

constexpr Pane k1 = Pane::kWebBrowser1;
constexpr Pane k2 = Pane::kWebBrowser2;

TEST(WebProcessesTest, TheSidePanelLeavesTheSharedProcessOnceItFailsAndHangsAloneFromThenOn) {
  const struct {
    const char* name;
    std::vector<Report> reports;
    std::vector<Step> expected;
  } cases[] = {
      {"the shared process crashes, in either order of the panes' reports",
       {{"ended", k1}, {"ended", k2}},
       {Step::kLoadAgain, Step::kGiveSidePanelItsOwnProcess}},
      {"", {{"ended", k2}, {"ended", k1}}, {Step::kGiveSidePanelItsOwnProcess, Step::kLoadAgain}},
      {"then each process alone: both load again, the side panel keeps its own",
       {{"ended", k2}, {"ended", k1}, {"ended", k2}, {"ended", k1}},
       {Step::kGiveSidePanelItsOwnProcess, Step::kLoadAgain, Step::kLoadAgain, Step::kLoadAgain}},
      {"a hang of the shared process is ended once, whichever pane tells first",
       {{"hung", k2}, {"hung", k1}, {"ended", k2}, {"ended", k1}},
       {Step::kEndCalculatorProcess, Step::kNothing, Step::kGiveSidePanelItsOwnProcess,
        Step::kLoadAgain}},
      {"", {{"hung", k1}, {"hung", k2}}, {Step::kEndCalculatorProcess, Step::kNothing}},
      {"once the side panel is apart its hangs are its own; the calculator's are ended each time",
       {{"ended", k2}, {"ended", k1}, {"hung", k2}, {"hung", k1}, {"ended", k1}, {"hung", k1}},
       {Step::kGiveSidePanelItsOwnProcess, Step::kLoadAgain, Step::kNothing,
        Step::kEndCalculatorProcess, Step::kLoadAgain, Step::kEndCalculatorProcess}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Play(c.reports), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace plq
