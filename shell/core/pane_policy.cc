#include "shell/core/pane_policy.h"

#include <algorithm>
#include <string>
#include <vector>

#include "shell/core/messages.h"

namespace plq {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The address up to its fragment: the document it names.
std::string DocumentOf(const std::string& address) { return address.substr(0, address.find('#')); }

// No engine hands over such an address for a real link; one that carries a control character or
// a space could mean something else to the program that receives it.
bool HasOddCharacters(const std::string& address) {
  return std::any_of(address.begin(), address.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; });
}

bool IsWebScheme(const std::string& scheme) { return scheme == "http" || scheme == "https"; }

// "scheme://" and something after it.
bool HasHost(const std::string& address, const std::string& scheme) {
  return address.size() > scheme.size() + 3 && address.compare(scheme.size(), 3, "://") == 0;
}

// A frame's empty document and its inline one (srcdoc), in any letter case.
bool IsEmptyFrameAddress(const std::string& address) {
  std::string lower;
  for (const char c : DocumentOf(address)) lower += LowerAscii(c);
  return lower == "about:blank" || lower == "about:srcdoc";
}

}  // namespace

std::string SchemeOf(const std::string& address) {
  if (address.empty() || !IsAsciiLetter(address[0])) return {};
  std::string scheme;
  for (const char c : address) {
    if (c == ':') return scheme;
    if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
      return {};
    }
    scheme += LowerAscii(c);
  }
  return {};
}

LoadVerdict JudgeLoad(const LoadRequest& request, const std::string& page_address) {
  const std::string scheme = SchemeOf(request.address);
  switch (request.kind) {
    case LoadRequest::Kind::kTopLevel:
      return !page_address.empty() && DocumentOf(request.address) == DocumentOf(page_address)
                 ? LoadVerdict::kAllow
                 : LoadVerdict::kRefuse;
    case LoadRequest::Kind::kFrame:
      if (IsWebScheme(scheme) || scheme == "data" || scheme == "blob" || scheme == "javascript" ||
          IsEmptyFrameAddress(request.address)) {
        return LoadVerdict::kAllow;
      }
      return LoadVerdict::kRefuse;
    case LoadRequest::Kind::kNewWindow:
      return request.user_gesture && IsWebScheme(scheme) && HasHost(request.address, scheme) &&
                     !HasOddCharacters(request.address)
                 ? LoadVerdict::kOpenInBrowser
                 : LoadVerdict::kRefuse;
  }
  return LoadVerdict::kRefuse;
}

std::vector<MenuEntry> ContextMenuEntries(bool in_editable_field, bool has_selection) {
  if (in_editable_field) {
    return {{EditAction::kCut, kCutText},
            {EditAction::kCopy, kCopyText},
            {EditAction::kPaste, kPasteText},
            {EditAction::kDelete, kDeleteText},
            {EditAction::kSelectAll, kSelectAllText}};
  }
  if (has_selection) return {{EditAction::kCopy, kCopyText}};
  return {};
}

}  // namespace plq
