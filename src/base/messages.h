// The program's own lines: warnings and reasons on standard error, one line
// each whatever the file's names hold, and the count line of the diagnostic
// build.
#ifndef MODELVIEWER_MESSAGES_H
#define MODELVIEWER_MESSAGES_H

#include <cstddef>
#include <string>

// `text` with control bytes, bytes from 0x7F up and the bytes of `also`
// written as \xNN, so that it stays on its line and cannot reach a terminal
// as a control sequence.
std::string Printable(const std::string& text, const char* also = "");

// A line of printable characters (as Printable makes them) cut to
// `columns` (0: as it is), keeping its first `head` characters and the end
// of the rest, with "..." where it is cut.
std::string CutToWidth(const std::string& line, size_t head, size_t columns);

// Bytes of the file's code page, taken as Latin-1, in UTF-8: valid whatever
// the bytes.
std::string Latin1ToUtf8(const std::string& bytes);

// A path as text: kept as it is when it is valid UTF-8, else its bytes
// taken as Latin-1.
std::string PathToUtf8(const std::string& path);

// Why a mesh cannot be drawn: "face F names vertex V of N".
std::string FaceNamesMissingVertex(size_t face, unsigned int vertex,
                                   size_t vertices);

// Where a run's lines go. The quiet build writes none of them.
class Messages {
 public:
  explicit Messages(bool diagnostics) : diagnostics_(diagnostics) {}

  bool diagnostics() const { return diagnostics_; }
  // Standard output carries a picture: the count line goes to standard
  // error instead.
  void PictureOnStandardOutput() { picture_on_stdout_ = true; }

  // One line on standard error: "modelviewer: " and the printable message,
  // above the status line where one is shown.
  void Warn(const std::string& message) const;
  // Warn, then end with status 1, running the exit handlers.
  [[noreturn]] void Fail(const std::string& reason) const;
  // The file's model count, alone on its line.
  void CountLine(int models) const;
  // A line of printable characters that stands last on the terminal (on
  // standard error) until another replaces it, or "" clears it; warnings
  // meanwhile go above it. Only where standard error is a terminal.
  void Status(const std::string& line) const;

 private:
  bool diagnostics_;
  bool picture_on_stdout_ = false;
  mutable std::string status_;  // shown last on the terminal
};

#endif
