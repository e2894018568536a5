// Which web process runs each pane, and what the program does when one fails. Where the engine
// runs pages in processes of their own (WebKitGTK), both panes share one at first: it starts
// faster and takes less memory than two. Once the side panel's content has made that process fail
// (a crash, a hang, memory), the side panel gets a process of its own until the program ends, so
// that it can never take the calculator down again. The backend reports what happened to a pane's
// process and carries out the step it is told; loading a pane's page again is Form1's
// (Form1::PaneEnded).
#ifndef PLQ_SHELL_CORE_WEB_PROCESSES_H_
#define PLQ_SHELL_CORE_WEB_PROCESSES_H_

#include "shell/core/layout.h"

namespace plq {

class WebProcesses {
 public:
  enum class Step {
    kNothing,
    // Tell Form1 (PaneEnded): the pane loads its page again.
    kLoadAgain,
    // Make the side panel anew in a process of its own (after the engine's report has returned),
    // then tell Form1 as for kLoadAgain.
    kGiveSidePanelItsOwnProcess,
    // End the calculator's process (the shared one, or its own): its panes then end and load
    // their pages again. An engine tells each pane of a hung process in turn, in no fixed order:
    // carry it out once the engine has told them all, not from within the report.
    kEndCalculatorProcess,
  };

  // The process that ran `pane` has ended.
  Step ProcessEnded(Pane pane);
  // The process that runs `pane` stopped answering.
  Step ProcessUnresponsive(Pane pane);

  bool side_panel_apart() const { return side_panel_apart_; }

 private:
  bool side_panel_apart_ = false;
  // The calculator's hung process is being ended: the other pane's report of the same hang asks
  // for nothing more.
  bool ending_hung_process_ = false;
};

}  // namespace plq

#endif  // PLQ_SHELL_CORE_WEB_PROCESSES_H_
