// What the Linux window asks of the pages' documents, through WebKit's script calls
// (webkit_web_view_call_async_javascript_function) and user style sheets: the one place that
// knows the calculator page's tables and fields from the shell's side.
#ifndef PLQ_SHELL_GTK_PAGE_SCRIPTS_H_
#define PLQ_SHELL_GTK_PAGE_SCRIPTS_H_

#include <webkit2/webkit2.h>

#include "shell/core/layout.h"

namespace plq::gtk {

// The body of a function that resolves once the pane's page has reached the screen: the
// calculator's when both calendar tables have rows and the frame after that has been drawn, the
// side panel's two animation frames after its load.
const char* PaintedCheck(Pane pane);

// The body of a function that returns, as JSON, what the calculator page shows: the rows of both
// calendars, the date fields, its rendering mode, encoding and title (diagnostics.h).
const char* CalculatorState();

// Focuses the page's first keyboard stop (`first`) or its last one, as Tab entering a page does.
void FocusEdgeStop(WebKitWebView* view, bool first);

// WebKit sizes a form field's text by the screen's font resolution, then zooms the page by it as
// well. Away from 96 dots per inch the fields of `view`'s pages get back their size at 96, so the
// page is laid out as at 96, only larger.
void KeepFieldTextSize(WebKitWebView* view, int dpi);

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_PAGE_SCRIPTS_H_
