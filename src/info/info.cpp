#include "info/info.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/file_names.h"
#include "scene/import.h"

namespace {

// Standard output, each write checked; the first failure keeps its reason.
class StandardOutput : public InfoOutput {
 public:
  void Write(const std::string& text) override {
    if (error_ == 0 &&
        std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
      error_ = errno ? errno : EIO;
  }
  bool Failed() const override { return error_ != 0; }
  // Flushes what is buffered; false, with the reason, when anything failed.
  bool Finish(std::string& why) {
    if (error_ == 0 && std::fflush(stdout) != 0) error_ = errno ? errno : EIO;
    if (error_ != 0) why = std::strerror(error_);
    return error_ == 0;
  }

 private:
  int error_ = 0;
};

// One file's information; false, with the reason, when it is refused.
bool WriteFileInfo(const Options& options, const std::string& file,
                   const Messages& messages, InputFiles& inputs,
                   InfoOutput& out, std::string& why) {
  Scene scene;
  if (!LoadScene(file, false, messages, inputs, scene, why)) return false;
  FileNames names(FolderOf(file));
  const ImageFinder find = [&](const std::string& stored) {
    std::string path, why;
    FileId id;
    return FindMap(names, stored, path, id, why) ? path : std::string();
  };
  std::vector<std::string> warnings;
  if (options.info == Options::kInfoJson)
    WriteInfoJson(scene, file, options.frame, find, out,
                  options.files.size() > 1);
  else
    WriteInfoText(scene, file, options.frame, find, out, warnings);
  for (const std::string& warning : warnings)
    messages.Warn(file + ": " + warning);
  return true;
}

}  // namespace

int RunInfo(const Options& options, const Messages& messages,
            InputFiles& inputs) {
  StandardOutput out;
  size_t refused = 0;
  for (const std::string& file : options.files) {
    if (out.Failed()) break;
    std::string why;
    if (WriteFileInfo(options, file, messages, inputs, out, why)) continue;
    if (options.files.size() == 1) messages.Fail(why);
    messages.Warn(why);
    ++refused;
  }
  std::string why;
  if (!out.Finish(why)) messages.Fail("cannot write the information: " + why);
  return refused ? 1 : 0;
}
