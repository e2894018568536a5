// The ready report: the page's state read with one more script call, and the window's X11 id.
#include "shell/gtk/diagnostics.h"

#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shell/gtk/page_scripts.h"

namespace plq::gtk::diagnostics {
namespace {

unsigned long X11WindowId(GtkWidget* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(window);
  if (gdk_window == nullptr || !GDK_IS_X11_WINDOW(gdk_window)) return 0;
  return GDK_WINDOW_XID(gdk_window);
}

void OnState(GObject* view, GAsyncResult* result, gpointer window) {
  GError* error = nullptr;
  JSCValue* value =
      webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, &error);
  if (value == nullptr) {
    std::fprintf(stdout, "plqcalc: calculator-check-failed %s\n", error->message);
    std::fflush(stdout);
    g_error_free(error);
    g_object_unref(window);
    return;
  }
  gchar* json = jsc_value_to_string(value);
  std::fprintf(stdout, "plqcalc: calculator-ready xid=0x%lx %s\n", X11WindowId(GTK_WIDGET(window)),
               json);
  std::fflush(stdout);
  g_free(json);
  g_object_unref(value);
  g_object_unref(window);
}

}  // namespace

bool ReportEnabled() {
  const char* value = g_getenv(kReportReadyVariable);
  return value != nullptr && *value != '\0';
}

void ReportCalculatorPainted(WebKitWebView* view, GtkWidget* window) {
  if (!ReportEnabled()) return;
  webkit_web_view_call_async_javascript_function(view, CalculatorState(), -1, nullptr, nullptr,
                                                 nullptr, nullptr, OnState, g_object_ref(window));
}

void ReportSidePanelLoaded() {
  if (!ReportEnabled()) return;
  std::fputs("plqcalc: side-panel-loaded\n", stdout);
  std::fflush(stdout);
}

void ReportContextMenu(const std::vector<std::string>& entries) {
  if (!ReportEnabled()) return;
  std::string line = "plqcalc: context-menu";
  for (const std::string& entry : entries) line += " " + entry;
  std::fprintf(stdout, "%s\n", line.c_str());
  std::fflush(stdout);
}

void ReportMessageBox(const std::string& text) {
  if (!ReportEnabled()) return;
  std::string json = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      json += {'\\', c};
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      json += escaped;
    } else {
      json += c;
    }
  }
  std::fprintf(stdout, "plqcalc: message-box %s\"\n", json.c_str());
  std::fflush(stdout);
}

}  // namespace plq::gtk::diagnostics
