// What a browser pane tells the window that holds it. The pane's OLE site and its event sink
// (pane_site.h, pane_events.h) call it from inside the WebBrowser control, each call guarded.
#ifndef PLQ_SHELL_WIN32_PANE_LISTENER_H_
#define PLQ_SHELL_WIN32_PANE_LISTENER_H_

#include <string>

#include "shell/core/layout.h"

namespace plq::win32 {

class PaneListener {
 public:
  // The page finished loading.
  virtual void PageLoaded(Pane pane) = 0;
  // The page could not be loaded; `detail` is the address and the control's reason.
  virtual void PageLoadFailed(Pane pane, const std::string& detail) = 0;
  // The calculator's page shows an alert; returns when the user has closed it, or at once while
  // another box of the program is open (the alert then waits its turn).
  virtual void Alert(const std::string& message) = 0;
  // The page asks for a new window on `address`; `user_gesture` when a click or key asked.
  virtual void NewWindowRequested(const std::string& address, bool user_gesture) = 0;

 protected:
  ~PaneListener() = default;
};

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_PANE_LISTENER_H_
