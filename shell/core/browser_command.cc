#include "shell/core/browser_command.h"

#include <string>

namespace plq {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

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

}  // namespace plq
