// The command line: what each one asks for, and what it refuses.
#include "base/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testfile.h"

namespace {

// A command line and every field that the parser sets from it; the rest of
// the fields are Options' defaults.
struct OptionsCase {
  const char* what;
  std::vector<const char*> args;
  Options::Action action = Options::kView;
  const char* file = "";
  std::vector<std::string> files = {};
  const char* screenshot = "";
  bool folder = false;
  int thumbnail = 0;
  long frame = -1;
  Options::Info info = Options::kNoInfo;
  int width = 800, height = 600;
  bool sized = false;
  int camera = 0;
  bool watch = false;
  Options::Look look = Options::kStudioLook;
  bool looked = false;
  const char* error = "";  // the usage error, in part; "" for none
};
void PrintTo(const OptionsCase& c, std::ostream* out) { *out << c.what; }

std::vector<OptionsCase> OptionsCases() {
  const Options::Action usage = Options::kUsageError;
  // clang-format off
  return {
      {.what = "nothing: the bundled model", .args = {}},
      {.what = "a file", .args = {"a.3ds"}, .file = "a.3ds",
       .files = {"a.3ds"}},
      {.what = "a screenshot of a file",
       .args = {"--screenshot", "s.png", "a.3ds"}, .file = "a.3ds",
       .files = {"a.3ds"}, .screenshot = "s.png"},
      {.what = "the screenshot after the file, with =",
       .args = {"a.3ds", "--screenshot=s.png"}, .file = "a.3ds",
       .files = {"a.3ds"}, .screenshot = "s.png"},
      {.what = "-- before a file that looks like an option",
       .args = {"--", "--odd.3ds"}, .file = "--odd.3ds",
       .files = {"--odd.3ds"}},
      {.what = "--help before an unknown option", .args = {"--help", "--bogus"},
       .action = Options::kHelp},
      {.what = "--version", .args = {"--version", "a.3ds"},
       .action = Options::kVersion},
      {.what = "an unknown option", .args = {"--bogus"}, .action = usage,
       .error = "unknown option --bogus"},
      {.what = "--screenshot followed by an option",
       .args = {"--screenshot", "--help"}, .action = usage,
       .error = "--screenshot needs the path"},
      {.what = "--screenshot= without a path", .args = {"--screenshot="},
       .action = usage, .error = "--screenshot needs the path"},
      {.what = "--screenshot given twice",
       .args = {"--screenshot", "a.png", "--screenshot=b.png"},
       .action = usage, .screenshot = "a.png",
       .error = "--screenshot given twice"},
      {.what = "an empty file", .args = {""}, .action = usage,
       .error = "FILE is empty"},
      {.what = "--info=json without a file", .args = {"--info=json"},
       .action = usage, .info = Options::kInfoJson,
       .error = "--info needs a FILE"},
      {.what = "a negative --frame", .args = {"--frame", "-1", "a.3ds"},
       .action = usage, .error = "--frame needs a whole number"},
      {.what = "--frame of a file", .args = {"--frame=90", "a.3ds"},
       .file = "a.3ds", .files = {"a.3ds"}, .frame = 90},
      {.what = "an empty file after --", .args = {"--", ""}, .action = usage,
       .error = "FILE is empty"},
      {.what = "the smallest and largest sides, and a camera",
       .args = {"--size=64x8192", "--camera", "3", "a.3ds"}, .file = "a.3ds",
       .files = {"a.3ds"}, .width = 64, .height = 8192, .sized = true,
       .camera = 3},
      {.what = "a side below 64", .args = {"--size", "63x600", "a.3ds"},
       .action = usage, .error = "--size needs WIDTHxHEIGHT"},
      {.what = "a side above 8192", .args = {"--size", "800x8193", "a.3ds"},
       .action = usage, .error = "--size needs WIDTHxHEIGHT"},
      {.what = "a size without x", .args = {"--size", "800", "a.3ds"},
       .action = usage, .error = "--size needs WIDTHxHEIGHT"},
      {.what = "camera 0", .args = {"--camera", "0", "a.3ds"},
       .action = usage, .error = "--camera needs a camera number"},
      {.what = "--size without a file", .args = {"--size", "800x600"},
       .action = usage, .width = 800, .height = 600, .sized = true,
       .error = "--thumbnail need a FILE"},
      {.what = "--camera without a file", .args = {"--camera", "1"},
       .action = usage, .camera = 1,
       .error = "--thumbnail need a FILE"},
      // --info takes no option that it does not use.
      {.what = "--info with --screenshot",
       .args = {"--info", "--screenshot", "s.png", "a.3ds"}, .action = usage,
       .file = "a.3ds", .files = {"a.3ds"}, .screenshot = "s.png",
       .info = Options::kInfoText, .error = "--info takes no --screenshot"},
      {.what = "--info with --camera",
       .args = {"--info", "--camera", "9", "a.3ds"}, .action = usage,
       .file = "a.3ds", .files = {"a.3ds"}, .info = Options::kInfoText,
       .camera = 9, .error = "--info takes no"},
      {.what = "--info=json with --size",
       .args = {"--info=json", "--size", "80x80", "a.3ds"}, .action = usage,
       .file = "a.3ds", .files = {"a.3ds"}, .info = Options::kInfoJson,
       .width = 80, .height = 80, .sized = true, .error = "--info takes no"},
      {.what = "--info of two files", .args = {"--info", "a.3ds", "b.3ds"},
       .file = "a.3ds", .files = {"a.3ds", "b.3ds"},
       .info = Options::kInfoText},
      // Thumbnails and folders.
      {.what = "the smallest thumbnail",
       .args = {"--thumbnail", "16", "--screenshot", "t.png", "a.3ds"},
       .file = "a.3ds", .files = {"a.3ds"}, .screenshot = "t.png",
       .thumbnail = 16},
      {.what = "a thumbnail below 16",
       .args = {"--thumbnail", "15", "--screenshot", "t.png", "a.3ds"},
       .action = usage, .error = "--thumbnail needs a side from 16 to 4096"},
      {.what = "a thumbnail above 4096",
       .args = {"--thumbnail", "4097", "--screenshot", "t.png", "a.3ds"},
       .action = usage, .error = "--thumbnail needs a side from 16 to 4096"},
      {.what = "a thumbnail without --screenshot",
       .args = {"--thumbnail", "64", "a.3ds"}, .action = usage,
       .file = "a.3ds", .files = {"a.3ds"}, .thumbnail = 64,
       .error = "--thumbnail needs --screenshot"},
      {.what = "a folder of pictures",
       .args = {"--screenshot", "out/", "a.3ds", "b.3ds"}, .file = "a.3ds",
       .files = {"a.3ds", "b.3ds"}, .screenshot = "out/", .folder = true},
      {.what = "a thumbnail with a size",
       .args = {"--thumbnail", "64", "--size", "80x80", "--screenshot",
                "t.png", "a.3ds"},
       .action = usage, .file = "a.3ds", .files = {"a.3ds"},
       .screenshot = "t.png", .thumbnail = 64, .width = 80, .height = 80,
       .sized = true, .error = "--thumbnail takes no --size"},
      {.what = "a thumbnail at a frame through a camera",
       .args = {"--thumbnail", "64", "--frame", "50", "--camera", "1",
                "--screenshot", "t.png", "a.3ds"},
       .file = "a.3ds", .files = {"a.3ds"}, .screenshot = "t.png",
       .thumbnail = 64, .frame = 50, .camera = 1},
      {.what = "two files and one picture",
       .args = {"--screenshot", "s.png", "a.3ds", "b.3ds"}, .action = usage,
       .file = "a.3ds", .files = {"a.3ds", "b.3ds"}, .screenshot = "s.png",
       .error = "one FILE at most with --screenshot OUT.png (also given: "
                "b.3ds)"},
      // Several files, or a folder, in the window; --watch there only.
      {.what = "two files to view", .args = {"a.3ds", "b.3ds"},
       .file = "a.3ds", .files = {"a.3ds", "b.3ds"}},
      {.what = "a file and a folder watched", .args = {"--watch", "a.3ds", "dir"},
       .file = "a.3ds", .files = {"a.3ds", "dir"}, .watch = true},
      {.what = "--watch without a file", .args = {"--watch"}, .action = usage,
       .watch = true, .error = "--watch needs a FILE"},
      {.what = "--watch with --info", .args = {"--watch", "--info", "a.3ds"},
       .action = usage, .file = "a.3ds", .files = {"a.3ds"},
       .info = Options::kInfoText, .watch = true,
       .error = "--watch is for the window"},
      {.what = "--watch with a screenshot",
       .args = {"--watch", "--screenshot", "s.png", "a.3ds"}, .action = usage,
       .file = "a.3ds", .files = {"a.3ds"}, .screenshot = "s.png",
       .watch = true, .error = "--watch is for the window"},
      // The look: studio or file, for a FILE that is shown.
      {.what = "the file's look", .args = {"--look", "file", "a.3ds"},
       .file = "a.3ds", .files = {"a.3ds"}, .look = Options::kFileLook,
       .looked = true},
      {.what = "the studio look for a folder of pictures",
       .args = {"--look=studio", "--screenshot", "out/", "a.3ds"},
       .file = "a.3ds", .files = {"a.3ds"}, .screenshot = "out/",
       .folder = true, .looked = true},
      {.what = "a look that is neither", .args = {"--look", "files", "a.3ds"},
       .action = usage, .error = "--look needs studio or file"},
      {.what = "a look without a file", .args = {"--look", "file"},
       .action = usage, .look = Options::kFileLook, .looked = true,
       .error = "--look and --thumbnail need a FILE"},
      {.what = "--info with a look", .args = {"--info", "--look", "file", "a.3ds"},
       .action = usage, .file = "a.3ds", .files = {"a.3ds"},
       .info = Options::kInfoText, .look = Options::kFileLook, .looked = true,
       .error = "--info takes no"},
  };
  // clang-format on
}

class CommandLines : public ::testing::TestWithParam<OptionsCase> {};

}  // namespace

TEST_P(CommandLines, SetEveryFieldAsTheyAsk) {
  const OptionsCase& c = GetParam();
  std::vector<const char*> args = c.args;
  args.insert(args.begin(), "modelviewer");
  const Options o = ParseOptions(static_cast<int>(args.size()),
                                 const_cast<char**>(args.data()));
  EXPECT_EQ(c.action, o.action);
  EXPECT_EQ(c.file, o.file);
  EXPECT_EQ(c.files, o.files);
  EXPECT_EQ(c.screenshot, o.screenshot);
  EXPECT_EQ(c.folder, o.folder);
  EXPECT_EQ(c.thumbnail, o.thumbnail);
  EXPECT_EQ(c.frame, o.frame);
  EXPECT_EQ(c.info, o.info);
  EXPECT_EQ(c.width, o.width);
  EXPECT_EQ(c.height, o.height);
  EXPECT_EQ(c.sized, o.sized);
  EXPECT_EQ(c.camera, o.camera);
  EXPECT_EQ(c.watch, o.watch);
  EXPECT_EQ(c.look, o.look);
  EXPECT_EQ(c.looked, o.looked);
  EXPECT_EQ(!*c.error, o.error.empty()) << o.error;
  EXPECT_NE(std::string::npos, o.error.find(c.error)) << o.error;
}

INSTANTIATE_TEST_SUITE_P(Options, CommandLines,
                         ::testing::ValuesIn(OptionsCases()),
                         CaseName<OptionsCase>);
