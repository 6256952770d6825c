// The images room and the look-up under it, without a window: a map's DOS
// name found beside the model, image files decoded, and PNG written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "images/image_files.h"
#include "images/png_writer.h"

namespace {

// A fresh folder for the test, with `setup` run in it by the shell.
std::string FolderWith(const std::string& setup) {
  const std::string dir =
      ::testing::TempDir() + "images." +
      ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::string command = "rm -rf '" + dir + "' && mkdir -p '" + dir +
                              "' && cd '" + dir + "' && " + setup;
  EXPECT_EQ(0, std::system(command.c_str())) << command;
  return dir;
}

struct LookUp {
  const char* what;
  const char* setup;   // in the model's folder
  const char* stored;  // as the 3DS file names the map
  const char* found;   // under the model's folder; "" where none is
};
void PrintTo(const LookUp& c, std::ostream* out) { *out << c.what; }

class MapLookUp : public ::testing::TestWithParam<LookUp> {};

// Four quadrants, red and green above, blue and white below.
const char kQuadrants[] =
    "convert -size 8x8 xc:red xc:lime +append \\( xc:blue xc:white +append "
    "\\) -append ";

struct Decoding {
  const char* what;
  const char* file;     // made from the quadrants as ImageMagick writes it
  const char* options;  // before the file's name
  int tolerance;        // of each colour byte (lossy formats)
};
void PrintTo(const Decoding& c, std::ostream* out) { *out << c.what; }

class ImageDecoding : public ::testing::TestWithParam<Decoding> {};

class PngWriting : public ::testing::TestWithParam<bool> {};

}  // namespace

TEST_P(MapLookUp, FindsTheFileTheViewerLoads) {
  const LookUp& c = GetParam();
  const std::string dir = FolderWith(c.setup);
  FileNames names(dir);
  std::string path, why;
  FileId id;
  const bool found = FindMap(names, c.stored, path, id, why);
  EXPECT_EQ(*c.found != '\0', found) << why;
  if (found) {
    EXPECT_EQ(dir + "/" + c.found, path);
  } else {
    EXPECT_FALSE(why.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapLookUp,
    ::testing::ValuesIn(std::vector<LookUp>{
        {.what = "a DOS name without regard to case",
         .setup = "mkdir Maps && touch Maps/quad.bmp",
         .stored = "MAPS\\QUAD.BMP",
         .found = "Maps/quad.bmp"},
        {.what = "an exact name first",
         .setup = "touch quad.bmp QUAD.BMP",
         .stored = "QUAD.BMP",
         .found = "QUAD.BMP"},
        {.what = "a folder named like the image passed over",
         .setup = "mkdir quad.bmp && touch Quad.bmp",
         .stored = "quad.bmp",
         .found = "Quad.bmp"},
        {.what = "the bare name where the stored folder is another machine's",
         .setup = "touch rock.png",
         .stored = "C:\\3DS\\MAPS\\ROCK.PNG",
         .found = "rock.png"},
        {.what = "nothing that is not a regular file",
         .setup = "mkfifo pipe.bmp",
         .stored = "pipe.bmp",
         .found = ""},
    }),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_P(ImageDecoding, QuadrantsInTheirPlaces) {
  const Decoding& c = GetParam();
  const std::string dir =
      FolderWith(std::string(kQuadrants) + c.options + c.file);
  std::vector<unsigned char> bytes;
  FileId id;
  std::string why;
  ASSERT_TRUE(
      ReadRegularFile(dir + "/" + c.file, kMaxImageFileBytes, bytes, id, why))
      << why;
  Image image;
  ASSERT_TRUE(ImageSizeIsSafe(bytes, why)) << why;
  ASSERT_TRUE(DecodeImage(c.file, bytes, image, why)) << why;
  // The bundled program's own reader of BMP files agrees.
  Image bmp;
  if (std::string(c.file).find(".bmp") != std::string::npos) {
    ASSERT_TRUE(DecodeBmp(bytes, bmp, why)) << why;
    EXPECT_EQ(image.rgba, bmp.rgba);
  }
  ASSERT_EQ(16, image.width);
  ASSERT_EQ(16, image.height);
  const int want[4][3] = {
      {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  for (int q = 0; q < 4; ++q) {  // top left, top right, bottom left, right
    const int x = q % 2 ? 12 : 3, y = q / 2 ? 12 : 3;
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(want[q][k], image.rgba[4 * (16 * y + x) + k], c.tolerance)
          << "quadrant " << q << " channel " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ImageDecoding,
                         ::testing::ValuesIn(std::vector<Decoding>{
                             {.what = "a paletted BMP",
                              .file = "q.bmp",
                              .options = "-type Palette BMP3:",
                              .tolerance = 0},
                             {.what = "a TGA, stored bottom row first",
                              .file = "q.tga",
                              .options = " ",
                              .tolerance = 0},
                             {.what = "a CMYK JPEG",
                              .file = "q.jpg",
                              .options = "-quality 100 -colorspace CMYK ",
                              .tolerance = 40},
                         }),
                         [](const auto& info) {
                           return "case" + std::to_string(info.index);
                         });

// Rows given bottom first, as OpenGL reads them, come back top first.
TEST_P(PngWriting, ReadsBackAsWritten) {
  const bool alpha = GetParam();
  const std::string dir = FolderWith("true");
  const int channels = alpha ? 4 : 3;
  std::vector<unsigned char> pixels;
  for (int i = 0; i < 3 * 2 * channels; ++i) pixels.push_back(40 * i % 256);
  std::string why;
  ASSERT_TRUE(WritePng(dir + "/p.png", 3, 2, pixels.data(), alpha, why)) << why;
  std::vector<unsigned char> bytes;
  FileId id;
  Image image;
  ASSERT_TRUE(
      ReadRegularFile(dir + "/p.png", kMaxImageFileBytes, bytes, id, why));
  ASSERT_TRUE(DecodeImage("p.png", bytes, image, why)) << why;
  ASSERT_EQ(3, image.width);
  ASSERT_EQ(2, image.height);
  EXPECT_EQ(alpha, image.Translucent());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      for (int k = 0; k < channels; ++k)
        EXPECT_EQ(pixels[channels * (3 * (1 - y) + x) + k],
                  image.rgba[4 * (3 * y + x) + k]);
}

INSTANTIATE_TEST_SUITE_P(Both, PngWriting, ::testing::Bool());
