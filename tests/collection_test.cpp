// The files the window steps through: the FILEs in their order, a folder's
// 3DS files by content in the order people read their names, and a file
// that goes away between two keys.
#include "scene/collection.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/input_files.h"
#include "base/messages.h"
#include "scene/import.h"
#include "writer3ds.h"

namespace {

using Move = Collection::Move;

struct CollectionCase {
  const char* what;
  std::vector<std::string> models = {};  // 3DS files written in the folder
  std::vector<std::string> others = {};  // files of other bytes, and folders/
  std::vector<std::string> args = {"."};
  std::vector<Move> moves = {};
  const char* vanish = "";  // removed once gathered
  // The file at the start and after each move: its name, and "!" where it
  // cannot be loaded; or nothing gathered.
  std::string visits = "";
  const char* warning = "";  // the one line of what was gathered
  const char* title = "";    // the last file's
};
void PrintTo(const CollectionCase& c, std::ostream* out) { *out << c.what; }

const std::vector<CollectionCase> kCases = {
    {.what = "files given in an order, stepped round both ways",
     .models = {"b.3ds", "a.3ds", "c.3ds"},
     .args = {"b.3ds", "a.3ds", "c.3ds"},
     .moves = {Move::kNext, Move::kPrevious, Move::kPrevious, Move::kFirst,
               Move::kLast, Move::kNext},
     .visits = "b.3ds a.3ds b.3ds c.3ds b.3ds c.3ds b.3ds",
     .title = "b.3ds (1 of 3) - Model Viewer"},
    {.what = "a folder with numbered names",
     .models = {"ship10.3ds", "ship2.3ds", "Ship1.3ds", "ship02.3ds",
                "ship1a.3ds", "x.3ds"},
     .moves = {Move::kNext, Move::kNext, Move::kNext, Move::kNext, Move::kLast,
               Move::kNext},
     .visits = "Ship1.3ds ship1a.3ds ship2.3ds ship02.3ds ship10.3ds x.3ds "
               "Ship1.3ds",
     .title = "Ship1.3ds (1 of 6) - Model Viewer"},
    {.what = "a folder with a file named .3ds that is not one, and a 3DS file "
             "named otherwise",
     .models = {"model.dat", ".hidden.3ds"},
     .others = {"fake.3ds", "empty.3ds", "sub.3ds/"},
     .visits = "model.dat",
     .title = "model.dat - Model Viewer"},
    {.what = "an empty folder",
     .others = {"sub/"},
     .args = {"sub"},
     .warning = "sub: no 3DS file in the folder"},
    {.what = "a folder beside a file, and an empty one, which says so",
     .models = {"a.3ds", "in/z.3ds", "in/y.3ds"},
     .others = {"none/"},
     .args = {"in", "none", "a.3ds"},
     .moves = {Move::kNext, Move::kNext},
     .visits = "y.3ds z.3ds a.3ds",
     .warning = "none: no 3DS file in the folder",
     .title = "a.3ds (3 of 3) - Model Viewer"},
    {.what = "a file that vanishes between keys is refused, and the next "
             "key goes on",
     .models = {"a.3ds", "b.3ds", "c.3ds"},
     .moves = {Move::kNext, Move::kNext},
     .vanish = "b.3ds",
     .visits = "a.3ds b.3ds! c.3ds",
     .title = "c.3ds (3 of 3) - Model Viewer"},
};

class Collections : public ::testing::TestWithParam<CollectionCase> {};

std::string FreshFolder() {
  static int made = 0;
  const std::string dir = ::testing::TempDir() + "collection." +
                          std::to_string(getpid()) + "." +
                          std::to_string(++made);
  std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
  return dir;
}

std::string NameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

}  // namespace

TEST_P(Collections, StepThroughTheFiles) {
  const CollectionCase& c = GetParam();
  const std::string dir = FreshFolder();
  using namespace w3ds;
  const Mesh triangle{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0}}, {}};
  for (const std::string& name : c.models) {
    std::system(("mkdir -p \"$(dirname '" + dir + "/" + name + "')\"").c_str());
    ASSERT_TRUE(writeFile(dir + "/" + name, file3ds(editor().add(modelObject(
                                                "t", triangle, "m")))));
  }
  for (const std::string& name : c.others) {
    const std::string path = dir + "/" + name;
    if (name.back() == '/')
      ASSERT_EQ(0, mkdir(path.c_str(), 0777));
    else
      ASSERT_TRUE(writeFile(path, name == "empty.3ds"
                                      ? Bytes{}
                                      : Bytes{0x89, 'P', 'N', 'G', 0, 0, 0}));
  }
  std::vector<std::string> args;
  for (const std::string& arg : c.args)
    args.push_back(arg == "." ? dir : dir + "/" + arg);

  Collection files;
  std::vector<std::string> warnings;
  const bool any = files.Gather(args, warnings);
  EXPECT_EQ(!c.visits.empty(), any);
  ASSERT_EQ(*c.warning ? 1u : 0u, warnings.size());
  if (*c.warning) {
    EXPECT_EQ(dir + "/" + c.warning, warnings[0]);
  }
  if (!any) return;
  if (*c.vanish) {
    ASSERT_EQ(0, unlink((dir + "/" + c.vanish).c_str()));
  }

  std::string visits;
  const Messages quiet(false);
  for (size_t i = 0; i <= c.moves.size(); ++i) {
    if (i > 0) files.Step(c.moves[i - 1]);
    Scene scene;
    InputFiles inputs;
    std::string why;
    const bool loaded =
        LoadScene(files.Current(), false, quiet, inputs, scene, why);
    visits += (i ? " " : "") + NameOf(files.Current()) + (loaded ? "" : "!");
    if (!loaded) {
      EXPECT_NE(std::string::npos, why.find(NameOf(files.Current())));
    }
  }
  EXPECT_EQ(c.visits, visits);
  EXPECT_EQ(c.title, files.Title());
}

INSTANTIATE_TEST_SUITE_P(Cases, Collections, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p; ++p)
                             name += std::isalnum(*p) ? *p : '_';
                           return name;
                         });
