// pagepack: assembles one page document into the exact bytes the program carries.
//
//   pagepack --out FILE --zeros N [--final-newline] TEMPLATE [SCRIPT...]
//
// The template and the scripts are UTF-8 with LF line ends. A template line that reads exactly
// "@SCRIPT@" is replaced by the scripts, one after another; "@WIDGET_ADDRESS@" anywhere is
// replaced by the widget address the shell also uses. The result is converted to GB2312 (any
// character GB2312 lacks is an error naming its file and line), every LF becomes CR LF, the final
// line end is dropped unless --final-newline is given, and N zero bytes are appended.
//
// The output is written to FILE.tmp and renamed over FILE, so a failed run (a full disk, say)
// leaves no half-written page for the build to take as done, and an earlier FILE as it was; a
// device (/dev/null) is written in place. Any failure exits 1 with a message and leaves no file.
//
// GB2312 on both systems: code page 936 (GBK, present on every Windows and in Wine) or glibc's
// GBK converter, keeping only GB2312's own cells. Code page 20936 would be GB2312 proper, but
// Wine has no table for it, and glibc's "GB2312" reads A1A4 and A1AA as U+30FB and U+2015 where
// GBK, and the browsers that decode these pages, read U+00B7 and U+2014.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "shell/win32/text.h"
#else
#include <iconv.h>
#endif

#include "shell/core/addresses.h"

namespace fs = std::filesystem;

namespace {

// More trailing zero bytes than any reader needs as a terminator: a larger count is a typo.
constexpr unsigned long kMaxZeros = 1024;

constexpr char kUsage[] =
    "usage: pagepack --out FILE --zeros N [--final-newline] TEMPLATE [SCRIPT...]";

// What the tool reports before it exits 1.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// errno's text; the libraries do not promise to set it, hence the fallback.
std::string ErrnoText(int error) {
  return error != 0 ? std::generic_category().message(error) : std::string("unknown error");
}

// A command-line argument as text (UTF-8) and as a path in the system's own form.
struct Argument {
  std::string text;
  fs::path path;
};

#ifdef _WIN32
using plq::win32::Narrow;
using plq::win32::Widen;

// A console shows UTF-8 bytes in its own code page (garbled Chinese file names): give it UTF-16.
// Redirected output (a build log, a test) gets the UTF-8 bytes.
void PrintError(const std::string& message) {
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    const std::wstring wide = Widen(message);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::cerr << message << std::flush;
}

// One character's code page 936 bytes, kept only when no default character stood in for it and
// they read back as the same character (a one-way mapping of the table would pass otherwise).
class Gbk {
 public:
  Gbk() {
    if (!IsValidCodePage(936)) throw Failure("code page 936 (GBK) is not installed");
  }
  Gbk(const Gbk&) = delete;
  Gbk& operator=(const Gbk&) = delete;

  bool Encode(const std::string& character, std::string& encoded) const {
    const std::wstring wide = Widen(character);
    if (wide.empty()) return false;
    BOOL used_default = FALSE;
    char bytes[8];
    const int length =
        WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                            bytes, static_cast<int>(sizeof bytes), nullptr, &used_default);
    if (length <= 0 || used_default) return false;
    wchar_t back[4];
    const int back_length = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes, length, back, 4);
    if (back_length <= 0 || std::wstring(back, static_cast<size_t>(back_length)) != wide) {
      return false;
    }
    encoded.assign(bytes, static_cast<size_t>(length));
    return true;
  }
};
#else
void PrintError(const std::string& message) { std::cerr << message << std::flush; }

// One iconv conversion, one character at a time.
class Converter {
 public:
  Converter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {
    if (descriptor_ == reinterpret_cast<iconv_t>(-1)) {
      throw Failure(std::string("iconv cannot convert ") + from + " to " + to + ": " +
                    ErrnoText(errno));
    }
  }
  ~Converter() { iconv_close(descriptor_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Convert(const std::string& in, std::string& out) const {
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    char buffer[16];
    char* in_ptr = const_cast<char*>(in.data());
    size_t in_left = in.size();
    char* out_ptr = buffer;
    size_t out_left = sizeof buffer;
    if (iconv(descriptor_, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1) ||
        in_left != 0) {
      return false;
    }
    out.assign(buffer, sizeof buffer - out_left);
    return true;
  }

 private:
  iconv_t descriptor_;
};

// One character's GBK bytes from glibc's converter, kept only when they read back as the same
// character.
class Gbk {
 public:
  bool Encode(const std::string& character, std::string& encoded) const {
    std::string back;
    return encoder_.Convert(character, encoded) && decoder_.Convert(encoded, back) &&
           back == character;
  }

 private:
  Converter encoder_{"GBK", "UTF-8"};
  Converter decoder_{"UTF-8", "GBK"};
};
#endif

// GB2312's assigned cells in EUC-CN: rows 1-9 hold symbols and alphabets with gaps, rows 16-87
// the hanzi (row 55 ends at column 89). GBK fills some of the gaps and makes the rest private use.
bool IsGb2312(unsigned char lead, unsigned char trail) {
  if (trail < 0xA1 || trail > 0xFE) return false;
  switch (lead) {
    case 0xA1:
    case 0xA3:
      return true;
    case 0xA2:
      return (trail >= 0xB1 && trail <= 0xE2) || (trail >= 0xE5 && trail <= 0xEE) ||
             (trail >= 0xF1 && trail <= 0xFC);
    case 0xA4:
      return trail <= 0xF3;
    case 0xA5:
      return trail <= 0xF6;
    case 0xA6:
      return trail <= 0xB8 || (trail >= 0xC1 && trail <= 0xD8);
    case 0xA7:
      return trail <= 0xC1 || (trail >= 0xD1 && trail <= 0xF1);
    case 0xA8:
      return trail <= 0xBA || (trail >= 0xC5 && trail <= 0xE9);
    case 0xA9:
      return trail >= 0xA4 && trail <= 0xEF;
    default:
      return lead >= 0xB0 && lead <= 0xF7 && !(lead == 0xD7 && trail >= 0xFA);
  }
}

// The length of the well-formed UTF-8 character at `at` (no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0.
size_t Utf8Length(const std::string& text, size_t at, char32_t& code_point) {
  const auto byte = [&](size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(text[i]));
  };
  const char32_t lead = byte(at);
  size_t length = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    minimum = 0x80;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    minimum = 0x800;
    code_point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    minimum = 0x10000;
    code_point = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code_point = (code_point << 6) | (byte(at + i) & 0x3F);
  }
  if (code_point < minimum || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

std::string CodePointText(char32_t code_point) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "U+%04X", static_cast<unsigned>(code_point));
  return digits;
}

// UTF-8 to GB2312 (EUC-CN), character by character so that a failure names its line. ASCII is
// the same in both.
std::string ToGb2312(const std::string& utf8, const std::string& name, const Gbk& gbk) {
  std::string out;
  out.reserve(utf8.size());
  int line = 1;
  std::string encoded;
  for (size_t at = 0; at < utf8.size();) {
    const char byte = utf8[at];
    if (static_cast<unsigned char>(byte) < 0x80) {
      if (byte == '\n') ++line;
      out += byte;
      ++at;
      continue;
    }
    char32_t code_point = 0;
    const size_t length = Utf8Length(utf8, at, code_point);
    if (length == 0) throw Failure(name + ": line " + std::to_string(line) + " is not UTF-8");
    const std::string character = utf8.substr(at, length);
    if (!gbk.Encode(character, encoded) || encoded.size() != 2 ||
        !IsGb2312(static_cast<unsigned char>(encoded[0]), static_cast<unsigned char>(encoded[1]))) {
      std::string message = name;
      message += ": line " + std::to_string(line) + ": \"" + character + "\" (";
      message += CodePointText(code_point) + ") is not a character of GB2312";
      throw Failure(message);
    }
    out += encoded;
    at += length;
  }
  return out;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The line number (from 1) of byte `offset` in `text`.
int LineOf(const std::string& text, size_t offset) {
  int line = 1;
  for (size_t i = 0; i < offset; ++i) line += text[i] == '\n';
  return line;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The offset of the first `needle` (lower-case ASCII) in `text`, any case, or npos.
size_t FindAnyCase(const std::string& text, const std::string& needle) {
  for (size_t at = 0; at + needle.size() <= text.size(); ++at) {
    size_t i = 0;
    while (i < needle.size() && AsciiLower(text[at + i]) == needle[i]) ++i;
    if (i == needle.size()) return at;
  }
  return std::string::npos;
}

// The scripts sit inside "<!--" ... "-->" inside a script element. The HTML parser ends that
// element at "</script" in any case; "<script" after a "<!--" puts it in its double-escaped
// state, where even the real end tag no longer ends the element; "-->" ends the comment that
// hides the script from old browsers early. None of the four may appear in a script.
void CheckScriptBlock(const std::string& script, const std::string& name) {
  size_t first = std::string::npos;
  size_t length = 0;
  for (const std::string sequence : {"<script", "</script", "<!--", "-->"}) {
    const size_t at = FindAnyCase(script, sequence);
    if (at < first) {
      first = at;
      length = sequence.size();
    }
  }
  if (first == std::string::npos) return;
  throw Failure(name + ": line " + std::to_string(LineOf(script, first)) + ": \"" +
                script.substr(first, length) + "\" would end the page's script block early");
}

std::string ReadSource(const Argument& source) {
  std::error_code error;
  if (fs::is_directory(source.path, error)) {
    throw Failure(source.text + " is a folder; a file was expected");
  }
  errno = 0;
  std::ifstream in(source.path, std::ios::binary);
  if (!in) throw Failure("cannot read " + source.text + ": " + ErrnoText(errno));
  std::string text;
  char buffer[1 << 16];
  while (in.read(buffer, static_cast<std::streamsize>(sizeof buffer)) || in.gcount() > 0) {
    text.append(buffer, static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) throw Failure("cannot read " + source.text + ": " + ErrnoText(errno));

  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  const auto cr = text.find('\r');
  if (cr != std::string::npos) {
    throw Failure(source.text + ": line " + std::to_string(LineOf(text, cr)) +
                  " has a CR; sources use LF line ends");
  }
  return text;
}

// Lines that read exactly "@SCRIPT@": their offsets.
std::vector<size_t> ScriptLines(const std::string& text) {
  static const std::string kLine = "@SCRIPT@";
  std::vector<size_t> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (text.compare(at, end - at, kLine) == 0) lines.push_back(at);
    at = end + 1;
  }
  return lines;
}

struct Options {
  Argument out;
  unsigned long zeros = 0;
  bool final_newline = false;
  Argument page_template;
  std::vector<Argument> scripts;
};

[[noreturn]] void UsageFailure(const std::string& message) {
  throw Failure(message + "\n" + kUsage);
}

unsigned long ParseZeros(const std::string& text) {
  unsigned long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value > kMaxZeros) {
    UsageFailure("--zeros needs a whole number from 0 to " + std::to_string(kMaxZeros) +
                 ", not \"" + text + "\"");
  }
  return value;
}

Options ParseOptions(const std::vector<Argument>& arguments) {
  Options options;
  bool have_out = false;
  bool have_zeros = false;
  bool have_template = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i].text;
    if (arg == "--out" || arg == "--zeros") {
      bool& seen = arg == "--out" ? have_out : have_zeros;
      if (seen) UsageFailure(arg + " is given twice");
      if (i + 1 == arguments.size()) UsageFailure(arg + " needs a value");
      const Argument& value = arguments[++i];
      seen = true;
      if (arg == "--zeros") {
        options.zeros = ParseZeros(value.text);
      } else if (value.text.empty() || value.text[0] == '-') {
        // Most likely the value was left out and the next option would become the file name.
        UsageFailure("--out needs a file name, not \"" + value.text + "\"");
      } else {
        options.out = value;
      }
    } else if (arg == "--final-newline") {
      options.final_newline = true;
    } else if (!arg.empty() && arg[0] == '-') {
      UsageFailure("unknown option " + arg);
    } else if (arg.empty()) {
      UsageFailure("an empty file name");
    } else if (!have_template) {
      options.page_template = arguments[i];
      have_template = true;
    } else {
      options.scripts.push_back(arguments[i]);
    }
  }
  if (!have_out) UsageFailure("--out is missing");
  if (!have_zeros) UsageFailure("--zeros is missing");
  if (!have_template) UsageFailure("the template is missing");
  return options;
}

// Whether `path` names the existing file `input` names.
bool SameFile(const fs::path& input, const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error) && fs::equivalent(input, path, error);
}

// Writes `bytes` to `path` and closes it; every failure throws, naming the output `name`.
void WriteFile(const fs::path& path, const std::string& bytes, const std::string& name,
               bool& created) {
  errno = 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw Failure("cannot write " + name + ": " + ErrnoText(errno));
  created = true;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  // Closing flushes the stream's buffer: a full disk often shows only there.
  if (out) out.close();
  if (!out) throw Failure("cannot write " + name + ": " + ErrnoText(errno));
}

// The temporary file next to the output, removed unless it became the output.
class Temporary {
 public:
  explicit Temporary(fs::path path) : path_(std::move(path)) {}
  ~Temporary() {
    std::error_code ignored;
    if (created_) fs::remove(path_, ignored);
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  const fs::path& path() const { return path_; }
  bool& created() { return created_; }

 private:
  fs::path path_;
  bool created_ = false;
};

void WriteOutput(const Options& options, const std::string& bytes) {
  const fs::path& out = options.out.path;
  std::error_code error;
  const fs::file_status status = fs::status(out, error);
  if (fs::is_directory(status)) {
    throw Failure("--out " + options.out.text + " is a folder; a file was expected");
  }

  fs::path temporary_path = out;
  temporary_path += ".tmp";
  std::vector<const Argument*> inputs = {&options.page_template};
  for (const auto& script : options.scripts) inputs.push_back(&script);
  for (const Argument* input : inputs) {
    if (SameFile(input->path, out) || SameFile(input->path, temporary_path)) {
      throw Failure("--out " + options.out.text + " would overwrite the source " + input->text);
    }
  }

  // A device or a pipe (/dev/null, /dev/stdout) is written in place: renaming a file over it
  // would replace the device itself.
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    bool created = false;
    WriteFile(out, bytes, options.out.text, created);
    return;
  }

  Temporary temporary(temporary_path);
  WriteFile(temporary.path(), bytes, options.out.text, temporary.created());
  // Replaces an earlier output in one step on both systems (MoveFileExW on Windows).
  fs::rename(temporary.path(), out, error);
  if (error) throw Failure("cannot write " + options.out.text + ": " + error.message());
  temporary.created() = false;
}

int Run(const std::vector<Argument>& arguments) {
  const Options options = ParseOptions(arguments);
  const Gbk gbk;

  const std::string page_text = ReadSource(options.page_template);
  std::string page = ToGb2312(page_text, options.page_template.text, gbk);
  std::string scripts;
  for (const auto& path : options.scripts) {
    const std::string script = ReadSource(path);
    CheckScriptBlock(script, path.text);
    scripts += ToGb2312(script, path.text, gbk);
    if (!scripts.empty() && scripts.back() != '\n') scripts += '\n';
  }
  // GB2312's two-byte characters use bytes from 0xA1 up only, so the ASCII markers and line ends
  // are found and replaced in the converted text as they would be in the source.
  const std::vector<size_t> script_lines = ScriptLines(page);
  if (script_lines.size() > 1) {
    throw Failure(options.page_template.text + ": line " +
                  std::to_string(LineOf(page, script_lines[1])) +
                  " reads @SCRIPT@ again; the scripts go in one place");
  }
  if (script_lines.empty() && !options.scripts.empty()) {
    throw Failure(options.page_template.text + ": no line reads @SCRIPT@");
  }
  if (!script_lines.empty()) {
    if (options.scripts.empty()) {
      throw Failure(options.page_template.text + ": line " +
                    std::to_string(LineOf(page, script_lines[0])) +
                    " reads @SCRIPT@ but no scripts are given");
    }
    const size_t at = script_lines[0];
    const size_t end = page.find('\n', at);
    page.replace(at, end == std::string::npos ? page.size() - at : end + 1 - at, scripts);
  }
  ReplaceAll(page, "@WIDGET_ADDRESS@", ToGb2312(plq::kWidgetAddress, "kWidgetAddress", gbk));

  while (!page.empty() && page.back() == '\n') page.pop_back();
  if (options.final_newline) page += '\n';

  ReplaceAll(page, "\n", "\r\n");
  page.append(options.zeros, '\0');

  WriteOutput(options, page);
  return 0;
}

int Main(const std::vector<Argument>& arguments) {
  try {
    return Run(arguments);
  } catch (const std::exception& exception) {  // a Failure, or std::bad_alloc and the like
    PrintError(std::string("pagepack: ") + exception.what() + "\n");
  }
  return 1;
}

}  // namespace

#ifdef _WIN32
// UTF-16 arguments: a path with characters outside the ANSI code page still names its file.
int wmain(int argc, wchar_t** argv) {
  std::vector<Argument> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back({Narrow(argv[i]), fs::path(argv[i])});
  return Main(arguments);
}
#else
int main(int argc, char** argv) {
  std::vector<Argument> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back({argv[i], fs::path(argv[i])});
  return Main(arguments);
}
#endif
