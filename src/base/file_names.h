// File names as the 3DS files' home system saw them: image names stored the
// DOS way ("MAPS\ROCK.BMP"), looked up beside the model.
#ifndef MODELVIEWER_FILE_NAMES_H
#define MODELVIEWER_FILE_NAMES_H

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/input_files.h"

// The folder part of `path`: "" for a bare name, "/" for a file at the root.
std::string FolderOf(const std::string& path);

// Looks names up from one folder (empty: the working directory). Each folder
// it passes through is listed once, however many names are looked up.
class FileNames {
 public:
  explicit FileNames(const std::string& folder) : folder_(folder) {}

  // The stored name if such a regular file exists, else backslashes as
  // separators, "." and ".." taken by the name, matched component by
  // component without regard to case (an exact name wins, else the first
  // match in byte order). Each component costs one look-up from the folder
  // before it, so the time is linear in the name. False, with the name
  // joined to the folder, when nothing matches.
  bool Resolve(const std::string& stored, std::string& path);

  // An image beside the model: as Resolve finds it, else by its bare name,
  // since tools often store the folder of the machine they ran on. False,
  // with the name as stored joined to the folder, when nothing matches.
  bool FindImage(const std::string& stored, std::string& path);

 private:
  // By lower-case name, the entries of that name in byte order.
  using Listing = std::map<std::string, std::vector<std::string> >;
  const std::vector<std::string>* EntriesLike(int dirfd,
                                              const std::string& name);
  bool FindEntry(int dirfd, const std::string& name, bool last, int& next,
                 std::string& found);

  std::string folder_;
  std::map<std::pair<unsigned long long, unsigned long long>, Listing>
      listings_;
};

// Where a material's map `stored` is found, the one rule of the renderer,
// --info and the folder runs that must protect it: found by FindImage, and
// only where the viewer would load it, a regular file that it may read.
// Its path, and its identity in `id`; false, with the reason, otherwise.
bool FindMap(FileNames& names, const std::string& stored, std::string& path,
             FileId& id, std::string& why);

#endif
