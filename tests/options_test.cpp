// The command line: what each one asks for, and what it refuses.
#include "base/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

static Options Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "modelviewer");
  return ParseOptions(static_cast<int>(args.size()),
                      const_cast<char**>(args.data()));
}

TEST(Options, CommandLines) {
  const struct {
    std::vector<const char*> args;
    Options::Action action;
    const char* file;
    const char* screenshot;
  } cases[] = {
      // clang-format off
      {{}, Options::kView, "", ""},
      {{"a.3ds"}, Options::kView, "a.3ds", ""},
      {{"--screenshot", "s.png", "a.3ds"}, Options::kView, "a.3ds", "s.png"},
      {{"a.3ds", "--screenshot=s.png"}, Options::kView, "a.3ds", "s.png"},
      {{"--", "--odd.3ds"}, Options::kView, "--odd.3ds", ""},
      {{"--help", "--bogus"}, Options::kHelp, "", ""},
      {{"--bogus"}, Options::kUsageError, "", ""},
      {{"--screenshot", "--help"}, Options::kUsageError, "", ""},
      {{"--screenshot="}, Options::kUsageError, "", ""},
      {{"--screenshot", "a.png", "--screenshot=b.png"}, Options::kUsageError,
       "", "a.png"},
      {{""}, Options::kUsageError, "", ""},
      {{"--info=json"}, Options::kUsageError, "", ""},
      {{"--frame", "-1", "a.3ds"}, Options::kUsageError, "", ""},
      {{"--", ""}, Options::kUsageError, "", ""},
      {{"--size=64x8192", "--camera", "3", "a.3ds"}, Options::kView, "a.3ds",
       ""},
      {{"--size", "63x600", "a.3ds"}, Options::kUsageError, "", ""},
      {{"--size", "800x8193", "a.3ds"}, Options::kUsageError, "", ""},
      {{"--size", "800", "a.3ds"}, Options::kUsageError, "", ""},
      {{"--camera", "0", "a.3ds"}, Options::kUsageError, "", ""},
      {{"--size", "800x600"}, Options::kUsageError, "", ""},
      {{"--camera", "1"}, Options::kUsageError, "", ""},
      // --info takes no option that it does not use.
      {{"--info", "--screenshot", "s.png", "a.3ds"}, Options::kUsageError, "a.3ds", "s.png"},
      {{"--info", "--camera", "9", "a.3ds"}, Options::kUsageError, "a.3ds", ""},
      {{"--info=json", "--size", "80x80", "a.3ds"}, Options::kUsageError, "a.3ds", ""},
      {{"--info", "a.3ds", "b.3ds"}, Options::kView, "a.3ds", ""},
      // Thumbnails and folders.
      {{"--thumbnail", "16", "--screenshot", "t.png", "a.3ds"}, Options::kView, "a.3ds", "t.png"},
      {{"--thumbnail", "15", "--screenshot", "t.png", "a.3ds"}, Options::kUsageError, "", ""},
      {{"--thumbnail", "4097", "--screenshot", "t.png", "a.3ds"}, Options::kUsageError, "", ""},
      {{"--thumbnail", "64", "a.3ds"}, Options::kUsageError, "a.3ds", ""},
      {{"--thumbnail", "64", "--size", "80x80", "--screenshot", "t.png", "a.3ds"}, Options::kUsageError, "a.3ds", "t.png"},
      {{"--thumbnail", "64", "--frame", "50", "--camera", "1", "--screenshot", "t.png", "a.3ds"}, Options::kView, "a.3ds", "t.png"},
      {{"--screenshot", "out/", "a.3ds", "b.3ds"}, Options::kView, "a.3ds", "out/"},
      {{"--screenshot", "s.png", "a.3ds", "b.3ds"}, Options::kUsageError, "a.3ds", "s.png"},
      // Several files, or a folder, in the window; --watch there only.
      {{"a.3ds", "b.3ds"}, Options::kView, "a.3ds", ""},
      {{"--watch", "a.3ds", "dir"}, Options::kView, "a.3ds", ""},
      {{"--watch"}, Options::kUsageError, "", ""},
      {{"--watch", "--info", "a.3ds"}, Options::kUsageError, "a.3ds", ""},
      {{"--watch", "--screenshot", "s.png", "a.3ds"}, Options::kUsageError, "a.3ds", "s.png"},
      // The look: studio or file, for a FILE that is shown.
      {{"--look", "file", "a.3ds"}, Options::kView, "a.3ds", ""},
      {{"--look=studio", "--screenshot", "out/", "a.3ds"}, Options::kView, "a.3ds", "out/"},
      {{"--look", "files", "a.3ds"}, Options::kUsageError, "", ""},
      {{"--look", "file"}, Options::kUsageError, "", ""},
      {{"--info", "--look", "file", "a.3ds"}, Options::kUsageError, "a.3ds", ""},
      // clang-format on
  };
  for (const auto& c : cases) {
    Options o = Parse(c.args);
    std::string line;
    for (const char* a : c.args) line += std::string(a) + " ";
    EXPECT_EQ(c.action, o.action) << line;
    EXPECT_EQ(c.file, o.file) << line;
    EXPECT_EQ(c.screenshot, o.screenshot) << line;
    EXPECT_EQ(c.action == Options::kUsageError, !o.error.empty()) << line;
  }
  const Options sized = Parse({"--size=64x8192", "--camera", "3", "a.3ds"});
  EXPECT_EQ(64, sized.width);
  EXPECT_EQ(8192, sized.height);
  EXPECT_EQ(3, sized.camera);
  EXPECT_EQ(Options::kStudioLook, sized.look);
  EXPECT_EQ(Options::kFileLook, Parse({"--look", "file", "a.3ds"}).look);
}
