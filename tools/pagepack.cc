// pagepack: assembles one page document into the exact bytes the program carries.
//
//   pagepack --out FILE --zeros N [--final-newline] TEMPLATE [SCRIPT...]
//
// The template and the scripts are UTF-8 with LF line ends. A template line that reads exactly
// "@SCRIPT@" is replaced by the scripts, one after another; "@WIDGET_ADDRESS@" anywhere is
// replaced by the widget address the shell also uses. The result is converted to GB2312 (any
// character GB2312 lacks is an error naming its line), every LF becomes CR LF, the final line end
// is dropped unless --final-newline is given, and N zero bytes are appended.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include "shell/core/addresses.h"

namespace {

struct Options {
  std::string out;
  int zeros = 0;
  bool final_newline = false;
  std::string page_template;
  std::vector<std::string> scripts;
};

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "pagepack: " << message << "\n";
  std::exit(1);
}

std::string ReadSource(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path + ": " + std::strerror(errno));
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  const auto cr = text.find('\r');
  if (cr != std::string::npos) {
    Fail(path + ": line " + std::to_string(1 + std::count(text.begin(), text.begin() + cr, '\n')) +
         " has a CR; sources use LF line ends");
  }
  return text;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The line number (from 1) of byte `offset` in `text`.
int LineOf(const std::string& text, size_t offset) {
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
}

#ifdef _WIN32
// Code page 20936 is GB2312 proper (936 is its GBK superset, which would let more through).
std::string ToGb2312(const std::string& utf8, const std::string& name) {
  std::string out;
  size_t start = 0;
  while (start < utf8.size()) {
    size_t end = utf8.find('\n', start);
    end = end == std::string::npos ? utf8.size() : end + 1;
    const std::string line = utf8.substr(start, end - start);
    const int wide_len = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line.data(),
                                             static_cast<int>(line.size()), nullptr, 0);
    if (wide_len <= 0) Fail(name + ": line " + std::to_string(LineOf(utf8, start)) + ": not UTF-8");
    std::wstring wide(wide_len, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                        wide_len);
    BOOL lossy = FALSE;
    const int len = WideCharToMultiByte(20936, WC_NO_BEST_FIT_CHARS, wide.data(), wide_len, nullptr,
                                        0, nullptr, &lossy);
    if (len <= 0 || lossy) {
      Fail(name + ": line " + std::to_string(LineOf(utf8, start)) +
           " has a character that GB2312 lacks");
    }
    std::string encoded(len, '\0');
    WideCharToMultiByte(20936, WC_NO_BEST_FIT_CHARS, wide.data(), wide_len, encoded.data(), len,
                        nullptr, nullptr);
    out += encoded;
    start = end;
  }
  return out;
}
#else
std::string ToGb2312(const std::string& utf8, const std::string& name) {
  iconv_t cd = iconv_open("GB2312", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) Fail(std::string("iconv: ") + std::strerror(errno));
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in_ptr = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) {
    const int error = errno;
    iconv_close(cd);
    const size_t offset = utf8.size() - in_left;
    size_t length = 1;
    while (offset + length < utf8.size() && (utf8[offset + length] & 0xC0) == 0x80) ++length;
    Fail(name + ": line " + std::to_string(LineOf(utf8, offset)) + ": \"" +
         utf8.substr(offset, length) + "\" " +
         (error == EILSEQ ? "is not a character of GB2312" : std::strerror(error)));
  }
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}
#endif

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--out" && i + 1 < argc) {
      options.out = argv[++i];
    } else if (arg == "--zeros" && i + 1 < argc) {
      options.zeros = std::atoi(argv[++i]);
    } else if (arg == "--final-newline") {
      options.final_newline = true;
    } else if (!arg.empty() && arg[0] == '-') {
      Fail("unknown option " + arg);
    } else if (options.page_template.empty()) {
      options.page_template = arg;
    } else {
      options.scripts.push_back(arg);
    }
  }
  if (options.out.empty() || options.page_template.empty() || options.zeros < 0) {
    Fail("usage: pagepack --out FILE --zeros N [--final-newline] TEMPLATE [SCRIPT...]");
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);

  std::string page = ReadSource(options.page_template);
  std::string scripts;
  for (const auto& path : options.scripts) {
    std::string script = ReadSource(path);
    // The script sits inside an HTML comment inside a script element: either closing sequence
    // would end it early.
    for (const char* closer : {"</script", "</SCRIPT", "-->"}) {
      if (script.find(closer) != std::string::npos) {
        Fail(path + ": contains \"" + closer + "\", which would end the script block");
      }
    }
    if (!script.empty() && script.back() != '\n') script += '\n';
    scripts += script;
  }
  if (!options.scripts.empty()) {
    const auto at = page.find("\n@SCRIPT@\n");
    if (at == std::string::npos) Fail(options.page_template + ": no line reads @SCRIPT@");
    page.replace(at + 1, std::strlen("@SCRIPT@\n"), scripts);
  }
  ReplaceAll(page, "@WIDGET_ADDRESS@", plq::kWidgetAddress);

  while (!page.empty() && page.back() == '\n') page.pop_back();
  if (options.final_newline) page += '\n';

  std::string bytes = ToGb2312(page, options.page_template);
  ReplaceAll(bytes, "\n", "\r\n");
  bytes.append(static_cast<size_t>(options.zeros), '\0');

  const std::string temporary = options.out + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("cannot write " + temporary);
  }
  if (std::rename(temporary.c_str(), options.out.c_str()) != 0) {
    std::remove(options.out.c_str());
    if (std::rename(temporary.c_str(), options.out.c_str()) != 0) {
      Fail("cannot write " + options.out + ": " + std::strerror(errno));
    }
  }
  return 0;
}
