// What the Linux program tells its tests, its benchmark and ./run.sh, and nothing else needs:
// with PLQCALC_REPORT_READY set to any non-empty value it prints one line to standard output when
// the calculator pane has painted both calendars
//   plqcalc: calculator-ready xid=0x... {"calendar1":..,"year":"..",...}
// (xid is the X11 window, 0 under Wayland; the JSON is what the page shows), and one when the side
// panel has finished loading
//   plqcalc: side-panel-loaded
// and one each time a pane's context menu is asked for, with the entries it offers (none: no menu)
//   plqcalc: context-menu 剪切 复制 ...
// and one whenever a message box opens or its text grows, with the box's whole text as a JSON
// string
//   plqcalc: message-box "..."
// so that they wait for these lines instead of guessing with sleeps.
#ifndef PLQ_SHELL_GTK_DIAGNOSTICS_H_
#define PLQ_SHELL_GTK_DIAGNOSTICS_H_

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>
#include <vector>

namespace plq::gtk::diagnostics {

inline constexpr char kReportReadyVariable[] = "PLQCALC_REPORT_READY";

bool ReportEnabled();

// The calculator pane `view` of `window` has painted its calendars.
void ReportCalculatorPainted(WebKitWebView* view, GtkWidget* window);
void ReportSidePanelLoaded();
void ReportContextMenu(const std::vector<std::string>& entries);
void ReportMessageBox(const std::string& text);

}  // namespace plq::gtk::diagnostics

#endif  // PLQ_SHELL_GTK_DIAGNOSTICS_H_
