#include "shell/gtk/page_scripts.h"

#include <cmath>
#include <string>

namespace plq::gtk {
namespace {

// How many rows a calendar table has drawn; 0 before the page has made it.
constexpr char kRows[] = R"js(
function Rows(id) {
  var table = document.getElementById(id);
  return table && table.rows ? table.rows.length : 0;
}
)js";

const std::string& CalculatorPainted() {
  static const std::string script = std::string(kRows) + R"js(
return new Promise(function (resolve) {
  function Check() {
    if (document.readyState != 'complete' || Rows('Calendar1') == 0 || Rows('Calendar2') == 0) {
      requestAnimationFrame(Check);
      return;
    }
    requestAnimationFrame(function () { setTimeout(function () { resolve(true); }, 0); });
  }
  Check();
});
)js";
  return script;
}

constexpr char kSidePanelPainted[] = R"js(
return new Promise(function (resolve) {
  requestAnimationFrame(function () {
    requestAnimationFrame(function () { resolve(true); });
  });
});
)js";

// Document order is tab order here: the program's pages give no element a positive tabindex.
constexpr char kFocusEdgeStop[] = R"js(
var stops = [];
var candidates = document.querySelectorAll('a[href], input, button, select, textarea, iframe');
for (var i = 0; i < candidates.length; i++) {
  var element = candidates[i];
  if (!element.disabled && element.tabIndex >= 0 && element.getClientRects().length > 0 &&
      getComputedStyle(element).visibility == 'visible') {
    stops.push(element);
  }
}
if (stops.length > 0) stops[first ? 0 : stops.length - 1].focus();
)js";

}  // namespace

const char* PaintedCheck(Pane pane) {
  return pane == Pane::kWebBrowser1 ? CalculatorPainted().c_str() : kSidePanelPainted;
}

const char* CalculatorState() {
  static const std::string script = std::string(kRows) + R"js(
function Field(name) {
  var form = document.forms.frmInput;
  return form && form[name] ? form[name].value : '';
}
return JSON.stringify({
  calendar1: Rows('Calendar1'), calendar2: Rows('Calendar2'),
  year: Field('txtYear'), month: Field('txtMonth'), day: Field('txtDay'),
  compatMode: document.compatMode, characterSet: document.characterSet, title: document.title
});
)js";
  return script.c_str();
}

void FocusEdgeStop(WebKitWebView* view, bool first) {
  GVariantDict arguments;
  g_variant_dict_init(&arguments, nullptr);
  // A number: WebKitGTK 2.50 refuses a boolean argument ("Invalid parameter").
  g_variant_dict_insert(&arguments, "first", "i", first ? 1 : 0);
  webkit_web_view_call_async_javascript_function(view, kFocusEdgeStop, -1,
                                                 g_variant_dict_end(&arguments), nullptr, nullptr,
                                                 nullptr, nullptr, nullptr);
}

void KeepFieldTextSize(WebKitWebView* view, int dpi) {
  // Measured: at 144 the year field's text was 20 page pixels against 13 at 96, the date took
  // two lines and the calendars went below the window. The size at 96 comes from GTK's font, as
  // WebKit reads it.
  if (dpi == kBaseDpi) return;
  gchar* font_name = nullptr;
  g_object_get(gtk_widget_get_settings(GTK_WIDGET(view)), "gtk-font-name", &font_name, nullptr);
  PangoFontDescription* font = pango_font_description_from_string(font_name);
  double pixels = pango_font_description_get_size(font) / static_cast<double>(PANGO_SCALE);
  if (!pango_font_description_get_size_is_absolute(font)) pixels *= kBaseDpi / 72.0;
  pango_font_description_free(font);
  g_free(font_name);
  // In whole pixels, as WebKit takes it: "Sans 10" is 13 pixels at 96 (16 at 120).
  const int whole = static_cast<int>(std::floor(pixels));
  if (whole <= 0) return;
  const std::string css =
      "input, select, textarea, button { font-size: " + std::to_string(whole) + "px }";
  WebKitUserStyleSheet* sheet =
      webkit_user_style_sheet_new(css.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                  WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
  webkit_user_content_manager_add_style_sheet(webkit_web_view_get_user_content_manager(view),
                                              sheet);
  webkit_user_style_sheet_unref(sheet);
}

}  // namespace plq::gtk
