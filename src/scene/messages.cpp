#include "messages.h"

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

std::string FaceNamesMissingVertex(size_t face, unsigned int vertex,
                                   size_t vertices) {
  return "face " + std::to_string(face) + " names vertex " +
         std::to_string(vertex) + " of " + std::to_string(vertices);
}

void Messages::Warn(const std::string& message) const {
  if (diagnostics_)
    std::cerr << "modelviewer: " << Printable(message) << std::endl;
}

void Messages::Fail(const std::string& reason) const {
  Warn(reason);
  std::exit(1);
}

void Messages::CountLine(int models) const {
  if (diagnostics_)
    (picture_on_stdout_ ? std::cerr : std::cout) << models << std::endl;
}
