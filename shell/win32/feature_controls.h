// Internet Explorer's Feature Controls for this process (urlmon's CoInternetSetFeatureEnabled).
// Internet Explorer switches its protections on for itself only; a program that hosts the
// WebBrowser control gets none of them unless it asks, and must ask before its first control
// exists.
#ifndef PLQ_SHELL_WIN32_FEATURE_CONTROLS_H_
#define PLQ_SHELL_WIN32_FEATURE_CONTROLS_H_

#include <string>
#include <vector>

namespace plq::win32 {

// Switches the protections on for the whole process and returns the names of those the system
// refused (none on any Windows since XP SP2). Call once, before the first control is created.
std::vector<std::string> SwitchOnFeatureControls();

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_FEATURE_CONTROLS_H_
