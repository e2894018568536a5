#include "shell/core/browser_command.h"

#include <string>

namespace plq {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Whether the ASCII character may stand as it is in a URL's path (RFC 3986's unreserved
// characters, sub-delimiters, ':' and '@'); every other one is percent-encoded.
bool StaysAsItIs(unsigned char c) {
  if (IsAsciiLetter(static_cast<char>(c)) || IsAsciiDigit(static_cast<char>(c))) return true;
  static constexpr char kAllowed[] = "-._~!$&'()*+,;=:@";
  for (const char* allowed = kAllowed; *allowed != '\0'; ++allowed) {
    if (c == static_cast<unsigned char>(*allowed)) return true;
  }
  return false;
}

}  // namespace

std::string BrowserCommandLine(const std::string& address) {
  return std::string(kBrowserPath) + "   " + address;
}

std::string BrowserProgram() {
  const std::string stored = kBrowserPath;
  std::string program;
  for (size_t i = 0; i < stored.size(); ++i) {
    program += stored[i];
    if (stored[i] == '\\' && i + 1 < stored.size() && stored[i + 1] == '\\') ++i;
  }
  return program;
}

std::string AddressWithScheme(const std::string& address) {
  // A scheme is a letter, then letters, digits, "+", "-" or ".", then "://". Asking for the
  // slashes keeps "www.example.com:8080" a host with a port rather than a scheme.
  size_t i = 0;
  if (!address.empty() && IsAsciiLetter(address[0])) {
    i = 1;
    while (i < address.size() && (IsAsciiLetter(address[i]) || IsAsciiDigit(address[i]) ||
                                  address[i] == '+' || address[i] == '-' || address[i] == '.')) {
      ++i;
    }
    if (address.compare(i, 3, "://") == 0) return address;
  }
  return "http://" + address;
}

std::string FileUrl(const std::string& path) {
  std::string rest = path;
  // The long-path forms: "\\?\C:\..." is "C:\...", "\\?\UNC\server\share" is "\\server\share".
  if (rest.size() >= 4 && IsSeparator(rest[0]) && IsSeparator(rest[1]) && rest[2] == '?' &&
      IsSeparator(rest[3])) {
    rest.erase(0, 4);
    if (rest.size() >= 4 && (rest.compare(0, 3, "UNC") == 0 || rest.compare(0, 3, "unc") == 0) &&
        IsSeparator(rest[3])) {
      rest = "\\\\" + rest.substr(4);
    }
  }
  std::string url = "file://";
  size_t i = 0;
  if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) {
    // A UNC path: the server is the URL's host.
    i = 2;
  } else {
    url += '/';
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  bool after_separator = false;
  for (; i < rest.size(); ++i) {
    const auto c = static_cast<unsigned char>(rest[i]);
    if (IsSeparator(static_cast<char>(c))) {
      if (!after_separator) url += '/';
      after_separator = true;
      continue;
    }
    after_separator = false;
    if (c >= 0x80 || StaysAsItIs(c)) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 0xF];
    }
  }
  return url;
}

}  // namespace plq
