#include "base/messages.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

std::string Printable(const std::string& text, const char* also) {
  static const char kHex[] = "0123456789abcdef";
  std::string clean;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && !std::strchr(also, c)) {
      clean += static_cast<char>(c);
    } else {
      clean += "\\x";
      clean += kHex[c >> 4];
      clean += kHex[c & 15];
    }
  }
  return clean;
}

std::string CutToWidth(const std::string& line, size_t head, size_t columns) {
  static const std::string kCut = "...";
  if (columns == 0 || line.size() <= columns) return line;
  if (columns < head + kCut.size() + 1) return line.substr(0, columns);
  const size_t tail = columns - head - kCut.size();
  return line.substr(0, head) + kCut + line.substr(line.size() - tail);
}

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else {
      text += static_cast<char>(0xC0 | c >> 6);
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

namespace {

// Whether `text` is well-formed UTF-8: no overlong forms, surrogates or
// code points past U+10FFFF.
bool ValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = text[i];
    int more = c < 0x80                 ? 0
               : c >= 0xC2 && c <= 0xDF ? 1
               : c >= 0xE0 && c <= 0xEF ? 2
               : c >= 0xF0 && c <= 0xF4 ? 3
                                        : -1;
    if (more < 0 || i + more >= text.size()) return false;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
    for (int k = 1; k <= more; ++k) {
      const unsigned char next = text[i + k];
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
        return false;
    }
    i += 1 + more;
  }
  return true;
}

}  // namespace

std::string PathToUtf8(const std::string& path) {
  return ValidUtf8(path) ? path : Latin1ToUtf8(path);
}

std::string FaceNamesMissingVertex(size_t face, unsigned int vertex,
                                   size_t vertices) {
  return "face " + std::to_string(face) + " names vertex " +
         std::to_string(vertex) + " of " + std::to_string(vertices);
}

namespace {

// Back to the start of the terminal's line, cleared.
const char kClearLine[] = "\r\033[K";

}  // namespace

void Messages::Warn(const std::string& message) const {
  if (!diagnostics_) return;
  if (!status_.empty()) std::cerr << kClearLine;
  std::cerr << "modelviewer: " << Printable(message) << std::endl;
  if (!status_.empty()) std::cerr << status_ << std::flush;
}

void Messages::Fail(const std::string& reason) const {
  Status("");
  Warn(reason);
  std::exit(1);
}

void Messages::Status(const std::string& line) const {
  if (!diagnostics_ || (line.empty() && status_.empty())) return;
  status_ = line;
  std::cerr << kClearLine << status_ << std::flush;
}

void Messages::CountLine(int models) const {
  if (diagnostics_)
    (picture_on_stdout_ ? std::cerr : std::cout) << models << std::endl;
}
