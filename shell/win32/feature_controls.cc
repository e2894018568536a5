// The Feature Controls with urlmon's CoInternetSetFeatureEnabled(SET_FEATURE_ON_PROCESS): set
// in the process, not in the registry, so nothing of the user's changes and every copy of the
// program gets them whatever the machine's settings.
//
// Left as the system has them:
// - FEATURE_LOCALMACHINE_LOCKDOWN: it would stop the calculator's own script, which runs from a
//   local file that carries no "Mark of the Web" (the page's bytes stay as they are); the call
//   does not take it per process anyway.
// - FEATURE_SECURITYBAND: Internet Explorer's Information Bar, in its own language, exists to
//   offer the user to let a blocked download, pop-up or control through; the panes refuse those
//   outright and have nothing to offer.
// - TABBED_BROWSING, FEEDS, XMLHTTP, DISABLE_NAVIGATION_SOUNDS, DISABLE_LEGACY_COMPRESSION and
//   GET_URL_DOM_FILEPATH_UNENCODED: features rather than protections; the pages keep behaving as
//   they always have.
#include "shell/win32/feature_controls.h"

#include <urlmon.h>
#include <windows.h>

#include <string>
#include <vector>

namespace plq::win32 {
namespace {

struct FeatureControl {
  INTERNETFEATURELIST feature;
  const char* name;
};

// What each one blocks, as Internet Explorer has them on for itself.
constexpr FeatureControl kProtections[] = {
    // Objects one domain created and cached, reached from a page of another.
    {FEATURE_OBJECT_CACHING, "FEATURE_OBJECT_CACHING"},
    // A page going, without a click, to one of a more trusted zone (the widget to a local file).
    {FEATURE_ZONE_ELEVATION, "FEATURE_ZONE_ELEVATION"},
    // A file whose name, declared type and bytes disagree being run as the most dangerous of them.
    {FEATURE_MIME_HANDLING, "FEATURE_MIME_HANDLING"},
    // A file promoted by its bytes to a more dangerous type than its server declared.
    {FEATURE_MIME_SNIFFING, "FEATURE_MIME_SNIFFING"},
    // Script-made windows off the screen, without a caption or status bar, or covering it.
    {FEATURE_WINDOW_RESTRICTIONS, "FEATURE_WINDOW_RESTRICTIONS"},
    // Pop-up windows a page opens without a click.
    {FEATURE_WEBOC_POPUPMANAGEMENT, "FEATURE_WEBOC_POPUPMANAGEMENT"},
    // Binary behaviors where the zone's settings do not allow them.
    {FEATURE_BEHAVIORS, "FEATURE_BEHAVIORS"},
    // The old mk: protocol, which reads pages out of help and storage files.
    {FEATURE_DISABLE_MK_PROTOCOL, "FEATURE_DISABLE_MK_PROTOCOL"},
    // A page asking to install an ActiveX control.
    {FEATURE_RESTRICT_ACTIVEXINSTALL, "FEATURE_RESTRICT_ACTIVEXINSTALL"},
    // Loads of malformed addresses.
    {FEATURE_VALIDATE_NAVIGATE_URL, "FEATURE_VALIDATE_NAVIGATE_URL"},
    // A download the user did not start being offered at all.
    {FEATURE_RESTRICT_FILEDOWNLOAD, "FEATURE_RESTRICT_FILEDOWNLOAD"},
    // Add-ons the user or an administrator switched off, loading into the panes.
    {FEATURE_ADDON_MANAGEMENT, "FEATURE_ADDON_MANAGEMENT"},
    // Protocols an administrator locked down for a zone.
    {FEATURE_PROTOCOL_LOCKDOWN, "FEATURE_PROTOCOL_LOCKDOWN"},
    // Addresses carrying a user name and password (http://bank.example@evil.example/).
    {FEATURE_HTTP_USERNAME_PASSWORD_DISABLE, "FEATURE_HTTP_USERNAME_PASSWORD_DISABLE"},
    // ActiveX controls reached by binding to an address, without the zone's safety checks.
    {FEATURE_SAFE_BINDTOOBJECT, "FEATURE_SAFE_BINDTOOBJECT"},
    // A page saved from a network share running as a trusted local file.
    {FEATURE_UNC_SAVEDFILECHECK, "FEATURE_UNC_SAVEDFILECHECK"},
    // A certificate error's box offering to go on: the load ends on the engine's error page.
    {FEATURE_SSLUX, "FEATURE_SSLUX"},
    // A window opened by script without its address and status bars (one passing for a program).
    {FEATURE_FORCE_ADDR_AND_STATUS, "FEATURE_FORCE_ADDR_AND_STATUS"},
    // telnet: addresses starting a terminal program.
    {FEATURE_DISABLE_TELNET_PROTOCOL, "FEATURE_DISABLE_TELNET_PROTOCOL"},
    // Script's prompt() boxes, which could pass for the program's own.
    {FEATURE_BLOCK_INPUT_PROMPTS, "FEATURE_BLOCK_INPUT_PROMPTS"},
};

}  // namespace

std::vector<std::string> SwitchOnFeatureControls() {
  // A protection the system refuses is no reason to stop: the panes' own answers (navigation,
  // new windows, downloads) hold without it. The caller learns which, for the debugger's log.
  std::vector<std::string> refused;
  for (const FeatureControl& control : kProtections) {
    if (FAILED(CoInternetSetFeatureEnabled(control.feature, SET_FEATURE_ON_PROCESS, TRUE))) {
      refused.emplace_back(control.name);
    }
  }
  return refused;
}

}  // namespace plq::win32
