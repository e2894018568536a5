#include "shell/core/web_processes.h"

namespace plq {

WebProcesses::Step WebProcesses::ProcessEnded(Pane pane) {
  if (pane == Pane::kWebBrowser1) ending_hung_process_ = false;
  if (pane == Pane::kWebBrowser2 && !side_panel_apart_) {
    // The shared process has ended (the calculator pane is told too, and loads again).
    side_panel_apart_ = true;
    return Step::kGiveSidePanelItsOwnProcess;
  }
  return Step::kLoadAgain;
}

WebProcesses::Step WebProcesses::ProcessUnresponsive(Pane pane) {
  // The side panel, once apart, may hang alone: nothing waits for it.
  if (pane == Pane::kWebBrowser2 && side_panel_apart_) return Step::kNothing;
  if (ending_hung_process_) return Step::kNothing;
  ending_hung_process_ = true;
  return Step::kEndCalculatorProcess;
}

}  // namespace plq
