// The files that the window shows one at a time: the FILEs of the command
// line in their order, a folder among them standing for the 3DS files in
// it, and which of them is shown. Only names and a position live here; the
// viewing mode loads the file at the position and frees the one before.
#ifndef MODELVIEWER_COLLECTION_H
#define MODELVIEWER_COLLECTION_H

#include <cstddef>
#include <string>
#include <vector>

// Whether name `a` comes before `b` as a person reads them: runs of digits
// by their value (ship2 before ship10; with equal values, fewer leading
// zeros first), letters without regard to case, then byte by byte.
bool NaturalLess(const std::string& a, const std::string& b);

// Whether `path` is a regular file that starts with a 3DS main chunk. Never
// waits on a FIFO or a device.
bool StartsAsModel(const std::string& path);

// The 3DS files in folder `dir`, found by their content (not by their
// names; hidden files left out), in the natural order of their names.
// False, with the reason, when the folder cannot be read.
bool ModelsInFolder(const std::string& dir, std::vector<std::string>& files,
                    std::string& why);

class Collection {
 public:
  enum class Move { kNext, kPrevious, kFirst, kLast };

  // The FILEs in order, each folder among them replaced by its 3DS files.
  // A folder that cannot be read, or that holds no 3DS file, gives a line
  // in `warnings`. False when no file is left.
  bool Gather(const std::vector<std::string>& args,
              std::vector<std::string>& warnings);

  size_t size() const { return files_.size(); }
  size_t position() const { return position_; }
  const std::string& Current() const { return files_[position_]; }
  // Steps through the files, round from the last to the first and back.
  void Step(Move move);
  void MoveTo(size_t position) { position_ = position % files_.size(); }

  // The window's title: the file's name and, among several, its place:
  // "ship.3ds (3 of 41) - Model Viewer"; with `problem`, why it is not
  // shown after the place.
  std::string Title(const std::string& problem = "") const;

 private:
  std::vector<std::string> files_;
  size_t position_ = 0;
};

#endif
