// Pictures written without a display: offscreen screenshots that equal the
// window's, thumbnails as file managers want them, folders of pictures in
// one run, and a thumbnail made inside a file manager's sandbox.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "harness.h"
#include "hostile3ds.h"
#include "writer3ds.h"

using namespace w3ds;

namespace {

class Pictures : public ::testing::TestWithParam<Build> {};

const char kNoDisplay[] = "VIEWER_WRAPPER='env -u DISPLAY'";

// Real files of tests/data into `work`/models.
void CopyIn(const std::string& work, const std::vector<std::string>& files) {
  for (const std::string& f : files)
    Shell(("mkdir -p '" + work + "/models' && cp '" TEST_DATA_DIR "/" + f +
           "' '" + work + "/models/'")
              .c_str());
}

Outcome Draw(const std::string& dir, const std::vector<std::string>& args,
             const std::string& env = kNoDisplay) {
  return RunViewer(::testing::TestWithParam<Build>::GetParam(), dir, "none",
                   env, 0, args);
}

// A PNG's pixels as red, green, blue, alpha bytes.
struct Rgba {
  int w = 0, h = 0;
  std::vector<unsigned char> bytes;
  int alpha(int x, int y) const { return bytes[4 * (y * w + x) + 3]; }
};

Rgba ReadRgba(const std::string& path, int side) {
  Rgba image;
  Shell(("convert '" + path + "' -depth 8 'rgba:" + path + ".rgba'").c_str());
  const std::string bytes = ReadText(path + ".rgba");
  image.w = image.h = side;
  image.bytes.assign(bytes.begin(), bytes.end());
  if (image.bytes.size() != 4u * side * side) image.w = image.h = 0;
  return image;
}

}  // namespace

// The same file and size, drawn offscreen and in an X window: the same
// picture but for a few pixels along edges, where rasterisers may round
// differently.
TEST_P(Pictures, OffscreenEqualsTheWindow) {
  for (const std::vector<std::string>& file :
       {std::vector<std::string>{"models/mar_rifle.3ds"},
        std::vector<std::string>{"--frame", "40", "models/RotatingCube.3DS"}}) {
    const std::string dir = TestDir();
    CopyIn(dir + "/work", {"mar_rifle.3ds", "m_rifl.bmp", "RotatingCube.3DS"});
    std::vector<std::string> args = {"--screenshot", "off.png"};
    args.insert(args.end(), file.begin(), file.end());
    ASSERT_EQ(0, Draw(dir, args).status);
    args[1] = "window.png";
    ASSERT_EQ(0, Draw(dir, args, "MODELVIEWER_NO_EGL=1").status);
    const Image off = ReadPng(dir + "/work/off.png");
    const Image window = ReadPng(dir + "/work/window.png");
    ASSERT_EQ(800, off.w);
    ASSERT_EQ(off.rgb.size(), window.rgb.size());
    int differ = 0;
    for (size_t i = 0; i < off.rgb.size(); ++i)
      differ += std::abs(off.rgb[i] - window.rgb[i]) > 24;
    EXPECT_LT(differ, 800 * 600 / 200) << file.back();
  }
  // Without EGL and without a display: one line with both reasons.
  const std::string dir = TestDir();
  const Outcome neither =
      Draw(dir, {"--screenshot", "s.png"},
           "VIEWER_WRAPPER='env -u DISPLAY MODELVIEWER_NO_EGL=1'");
  EXPECT_EQ(1, neither.status);
  if (!GetParam().quiet) {
    EXPECT_EQ(1, LinesOf(neither.err));
    EXPECT_NE(std::string::npos, neither.err.find("nor in a window"));
  }
}

// The program without a file draws its screenshot offscreen too.
TEST_P(Pictures, TheBundledProgramDrawsWithoutADisplay) {
  const std::string dir = TestDir();
  Shell(("cp " SAMPLE_DIR "/* '" + dir + "/work/'").c_str());
  ASSERT_EQ(0, Draw(dir, {"--screenshot", "s.png"}).status);
  const Image shot = ReadPng(dir + "/work/s.png");
  EXPECT_EQ(800, shot.w);
  EXPECT_GT(ColouredOf(shot).hues["g"], 5000);  // the green monster
}

// A stop request (SIGTERM, or SIGHUP when the terminal closes) ends a
// folder within a second, after the file at hand: a summary of how far it
// got, status 1, no file half made. The signal comes once a few files are
// done; from the signal to the end is bounded generously (the neighbours
// stretch it), and the sanitizers' leak check at exit is left out.
TEST_P(Pictures, AStopEndsAFolderWithItsSummary) {
  for (const char* signal : {"TERM", "HUP"}) {
    const std::string dir = TestDir(), work = dir + "/work";
    CopyIn(work, {"mar_rifle.3ds", "m_rifl.bmp"});
    std::vector<std::string> args = {"--thumbnail", "256", "--screenshot",
                                     "out/"};
    for (int i = 0; i < 3000; ++i) args.push_back("models/mar_rifle.3ds");
    const Outcome run = Draw(
        dir, args,
        std::string("VIEWER_WRAPPER='env -u DISPLAY' VIEWER_STOP='") + signal +
            " 0.5' ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0");
    EXPECT_EQ(1, run.status) << signal;
    EXPECT_GE(run.stopped, 0) << signal << ": no stop measured";
    EXPECT_LT(run.stopped, kSanitized ? 8 : 3) << signal;
    if (!GetParam().quiet) {
      EXPECT_NE(std::string::npos, run.out.find("; stopped after "))
          << signal << ": " << run.out;
    }
    EXPECT_NE(0,
              std::system(
                  ("ls -a '" + work + "/out' | grep -q modelviewer-").c_str()))
        << signal << ": a temporary file is left";
  }
}

// A square PNG with an alpha channel: nothing around the model, its edges
// smoothed, the model filling it without touching its borders; a texture
// that is not there is no error, and no count line is written. Drawn in
// tiles, as large pictures are, it is the same picture, with no seams.
TEST_P(Pictures, ThumbnailsFillATransparentSquare) {
  for (const char* file : {"mar_rifle.3ds", "cube_with_diffuse_texture.3DS"}) {
    const std::string dir = TestDir();
    CopyIn(dir + "/work", {"mar_rifle.3ds", "m_rifl.bmp", file});
    const Outcome run = Draw(dir, {"--thumbnail", "128", "--screenshot",
                                   "t.png", std::string("models/") + file});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ("", run.out);
    const Rgba t = ReadRgba(dir + "/work/t.png", 128);
    ASSERT_EQ(128, t.w) << file;
    int left = 128, right = -1, top = 128, bottom = -1, partial = 0;
    for (int y = 0; y < 128; ++y)
      for (int x = 0; x < 128; ++x) {
        const int a = t.alpha(x, y);
        partial += a > 0 && a < 255;
        if (a == 0) continue;
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    EXPECT_EQ(0, t.alpha(0, 0)) << file;
    EXPECT_GT(partial, 20) << file << ": edges smoothed";
    EXPECT_GE(std::max(right - left, bottom - top) + 1, 0.85 * 128) << file;
    EXPECT_TRUE(left > 0 && top > 0 && right < 127 && bottom < 127) << file;
    // Tiles of 100 x 100 of the 256 x 256 drawn, the last ones narrower:
    // rasterisers may round a colour differently in a pixel or two.
    ASSERT_EQ(0, Draw(dir,
                      {"--thumbnail", "128", "--screenshot", "tiled.png",
                       std::string("models/") + file},
                      std::string(kNoDisplay) + " MODELVIEWER_TILE_SIDE=100")
                     .status);
    const Rgba tiled = ReadRgba(dir + "/work/tiled.png", 128);
    ASSERT_EQ(t.bytes.size(), tiled.bytes.size()) << file;
    int differ = 0, most = 0;
    for (size_t i = 0; i < t.bytes.size(); ++i) {
      const int d = std::abs(t.bytes[i] - tiled.bytes[i]);
      differ += d > 0;
      most = std::max(most, d);
    }
    EXPECT_LT(differ, 128 * 128 / 100) << file;
    EXPECT_LE(most, 8) << file;
  }
}

// A folder of pictures: NAME.png for each file, the later of two names
// keeping its extension; a file that is refused, or whose picture cannot be
// written, is named and passed over; one summary line, status 1 for any
// refused; no progress line where standard error is not a terminal; and a
// folder that cannot be written, or fills up, ends the run at once.
TEST_P(Pictures, FoldersOfPicturesInOneRun) {
  const std::string dir = TestDir(), work = dir + "/work";
  for (const char* name : {"a.3ds", "sub/a.3DS", "c.3ds"})
    WriteIn(work, name,
            file3ds(editor().add(modelObject("t", Triangle(), "m"))));
  WriteIn(work, "broken.3ds", Bytes{'n', 'o', 't', ' ', '3', 'd', 's'});
  ASSERT_EQ(0, std::system(("mkdir -p '" + work + "/out/c.png'").c_str()));
  const Outcome run = Draw(dir, {"--thumbnail", "32", "--screenshot", "out/",
                                 "a.3ds", "c.3ds", "sub/a.3DS", "broken.3ds"});
  EXPECT_EQ(1, run.status);
  for (const char* picture : {"out/a.png", "out/a.3DS.png"})
    EXPECT_FALSE(ReadText(work + "/" + picture).empty()) << picture;
  if (GetParam().quiet) {
    EXPECT_EQ("", run.out + run.err);
  } else {
    EXPECT_EQ("2 pictures written, 2 files refused\n", run.out);
    EXPECT_EQ(2, LinesOf(run.err)) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("broken.3ds: not a 3DS file"));
    EXPECT_NE(std::string::npos,
              run.err.find("cannot write the screenshot out/c.png"));
  }
  WriteIn(work, "plain", Bytes{1});
  const Outcome unwritable =
      Draw(dir, {"--screenshot", "plain/", "a.3ds", "sub/a.3DS"});
  EXPECT_EQ(1, unwritable.status);
  EXPECT_EQ(GetParam().quiet ? 0 : 1, LinesOf(unwritable.err));
  // A disk that fills up ends the run too, at the first picture that does
  // not fit, with the system's reason.
  if (std::system("bwrap --dev-bind / / true 2>/dev/null") != 0) return;
  Shell("mkdir -p '" + work + "/full'");
  const Outcome full =
      Draw(dir, {"--screenshot", "full/", "a.3ds", "c.3ds", "sub/a.3DS"},
           "VIEWER_WRAPPER='env -u DISPLAY bwrap --dev-bind / / --size 4096 "
           "--tmpfs " +
               work + "/full'");
  EXPECT_EQ(1, full.status);
  if (GetParam().quiet) return;
  EXPECT_EQ(1, LinesOf(full.err)) << full.err;
  EXPECT_NE(std::string::npos,
            full.err.find("cannot write pictures into full/: No space left"));
  EXPECT_NE(std::string::npos, full.out.find("; stopped after ")) << full.out;
}

// A picture larger than the GL can hold in the memory it may take is one
// line and status 1.
TEST_P(Pictures, APictureTooLargeToHoldIsRefused) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers reserve more address space";
  const std::string dir = TestDir();
  CopyIn(dir + "/work", {"mar_rifle.3ds"});
  const Outcome run = Draw(
      dir,
      {"--size", "8192x8192", "--screenshot", "s.png", "models/mar_rifle.3ds"},
      "VIEWER_WRAPPER='env -u DISPLAY prlimit --as=650000000'");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(GetParam().quiet ? 0 : 1, LinesOf(run.err)) << run.err;
}

// After a thousand files, the run holds no more memory than after ten.
TEST_P(Pictures, MemoryStaysFlatOverAFolder) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers keep freed memory";
  const std::string dir = TestDir(), work = dir + "/work";
  // A small textured model: a file's every allocation, and little else.
  WriteQuadrantBmp(work + "/t.bmp", 16, 16, 24);
  WriteIn(work, "m.3ds", hostile::TextureNames({"t.bmp"}));
  long peak[2];
  for (int run = 0; run < 2; ++run) {
    std::vector<std::string> args = {"--thumbnail", "64", "--screenshot",
                                     "out/"};
    for (int i = 0; i < (run ? 1000 : 10); ++i) args.push_back("m.3ds");
    const Outcome drawn =
        Draw(dir, args, std::string(kNoDisplay) + " VIEWER_USAGE=1");
    EXPECT_EQ(0, drawn.status) << drawn.err;
    EXPECT_GT(drawn.kilobytes, 0) << "no peak memory read";
    peak[run] = drawn.kilobytes;
  }
  EXPECT_LT(peak[1] - peak[0], 20 * 1024) << peak[0] << " KB, then " << peak[1];
}

// The thumbnail command as a file manager runs it: in a sandbox that holds
// the system's /usr, the program, the model and the output folder, with no
// network and a display that cannot be reached.
TEST_P(Pictures, ThumbnailsInAFileManagersSandbox) {
  if (std::system("bwrap --unshare-all --ro-bind / / true 2>/dev/null") != 0)
    GTEST_SKIP() << "bubblewrap cannot make a sandbox here";
  for (const char* file :
       {TEST_DATA_DIR "/mar_rifle.3ds", SAMPLE_DIR "/monster.3ds"}) {
    const std::string dir = TestDir(), out = dir + "/out";
    Shell(("mkdir -p '" + out + "/bin' '" + dir + "/tmp' && cp " + VIEWER_DIR +
           "/" + GetParam().program + " '" + out + "/bin/'")
              .c_str());
    const std::string command =
        "bwrap --ro-bind /usr /usr --ro-bind /etc/ld.so.cache "
        "/etc/ld.so.cache --symlink usr/bin /bin --symlink usr/lib /lib "
        "--symlink usr/lib64 /lib64 --symlink usr/sbin /sbin --proc /proc "
        "--dev /dev --chdir / --unshare-all --die-with-parent --bind '" +
        dir + "/tmp' /tmp --ro-bind '" + file +
        "' /tmp/gnome-desktop-file-to-thumbnail.3ds --ro-bind '" + out +
        "' /usr/local --setenv DISPLAY :99 --setenv ASAN_OPTIONS "
        "detect_leaks=0 /usr/local/bin/" +
        GetParam().program +
        " --thumbnail 128 --screenshot /tmp/t.png "
        "/tmp/gnome-desktop-file-to-thumbnail.3ds 2>/dev/null";
    EXPECT_EQ(0, std::system(command.c_str())) << file;
    const Rgba t = ReadRgba(dir + "/tmp/t.png", 128);
    ASSERT_EQ(128, t.w) << file;
    int drawn = 0;
    for (int i = 0; i < 128 * 128; ++i) drawn += t.bytes[4 * i + 3] == 255;
    EXPECT_GT(drawn, 1000) << file;
  }
}

INSTANTIATE_TEST_SUITE_P(Both, Pictures, ::testing::ValuesIn(kBuilds),
                         BuildName);
