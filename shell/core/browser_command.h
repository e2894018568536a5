// How the external browser is named to the system: the command line the Windows program starts,
// and the address form a desktop opener needs. Portable text work only; the backends start the
// program.
#ifndef PLQ_SHELL_CORE_BROWSER_COMMAND_H_
#define PLQ_SHELL_CORE_BROWSER_COMMAND_H_

#include <string>

namespace plq {

// Internet Explorer's executable as the program has always stored it: each separator written as
// two backslash characters, which Windows reads as one.
inline constexpr char kBrowserPath[] = R"(C:\\Program Files\\Internet Explorer\\IEXPLORE.exe)";

// The stored path, three spaces, then the address, byte for byte as the program has always
// passed it. Started from this line alone Windows would try "C:\Program.exe" first (the path
// has a space and no quotes), so it must go with BrowserProgram() as the program to start.
std::string BrowserCommandLine(const std::string& address);

// The program the command line names, each doubled separator read as one:
// "C:\Program Files\Internet Explorer\IEXPLORE.exe".
std::string BrowserProgram();

// `address` with "http://" put in front when it has no scheme of its own ("www.example.com").
// Desktop openers (xdg-open, ShellExecute) take a bare host name for a file.
std::string AddressWithScheme(const std::string& address);

// The file URL that Internet Explorer reads back as exactly the local Windows `path` (UTF-8):
// "file:///C:/dir/plqclear.htm", "file://server/share/dir/1.htm". Given to the WebBrowser control
// as a bare path, a "#" would start a fragment and "%" an escape. Separators become "/" and
// doubled ones are dropped (the core writes "C:\dir/plqclear.htm", and "C:\/plqclear.htm" at a
// drive root); a "\\?\" prefix is dropped. Each ASCII character that a URL's path cannot hold as
// it is (controls, space, '"', '#', '%', '<', '>', '?', '[', ']', '^', '`', '{', '|', '}') is
// percent-encoded; characters beyond ASCII stay as they are, since IE reads percent-encoded
// bytes in a file URL in the ANSI code page, not as UTF-8.
std::string FileUrl(const std::string& path);

}  // namespace plq

#endif  // PLQ_SHELL_CORE_BROWSER_COMMAND_H_
