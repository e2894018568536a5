// What a browser pane tells the window that holds it, from its engine's callbacks: the same
// events on both systems, each guarded against exceptions by the backend. An engine reports
// what it has: the Windows control runs its pages inside the program and so never reports a
// web process, nor when its page has reached the screen.
#ifndef PLQ_SHELL_CORE_PANE_LISTENER_H_
#define PLQ_SHELL_CORE_PANE_LISTENER_H_

#include <string>

#include "shell/core/layout.h"

namespace plq {

class PaneListener {
 public:
  // The page finished loading.
  virtual void PageLoaded(Pane pane) = 0;
  // The pane's own page could not be loaded; `detail` is the address and the engine's reason.
  virtual void PageLoadFailed(Pane pane, const std::string& detail) = 0;
  // The calculator's page shows an alert; returns when the user has closed it, or at once while
  // another box of the program is open.
  virtual void Alert(const std::string& message) = 0;
  // The page asks for a new window on `address` (none is made); `user_gesture` when a click or a
  // key asked for it.
  virtual void NewWindowRequested(Pane pane, const std::string& address, bool user_gesture) = 0;

  // Where pages run in web processes of their own (WebKitGTK):
  // The loaded page has reached the screen (for the calculator: both calendars are drawn).
  virtual void PagePainted(Pane /*pane*/) {}
  // The web process that ran the page ended; the pane is blank until it loads a page again.
  virtual void ProcessEnded(Pane /*pane*/, const std::string& /*detail*/) {}
  // The web process has not answered for a while (the engine's own measure, a few seconds).
  virtual void ProcessUnresponsive(Pane /*pane*/) {}

 protected:
  ~PaneListener() = default;
};

}  // namespace plq

#endif  // PLQ_SHELL_CORE_PANE_LISTENER_H_
