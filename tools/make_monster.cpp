// Writes the bundled sample: monster.3ds (a horned, big-eyed creature in five
// meshes, z up) and monster.bmp, its 24-bit texture atlas.
//   make_monster <output directory>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "writer3ds.h"

namespace {

const float kPi = 3.14159265f;

// A region of the texture atlas, in texture coordinates (t = 0 is the top).
struct Region {
  float u0, v0, u1, v1;
};
const Region kSkin{0.0f, 0.0f, 0.5f, 0.5f};
const Region kEye{0.5f, 0.0f, 1.0f, 0.5f};
const Region kHorn{0.0f, 0.5f, 0.5f, 1.0f};
const Region kFace{0.5f, 0.5f, 1.0f, 1.0f};

struct Vec {
  float x, y, z;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(float s, Vec a) { return {s * a.x, s * a.y, s * a.z}; }
Vec Cross(Vec a, Vec b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec Unit(Vec a) {
  float l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
  return (1 / l) * a;
}

// A grid of (columns + 1) x (rows + 1) points, wrapped around, made into
// triangles that run counter-clockwise seen from outside. `point(s, t)` takes
// s, t in [0, 1]; the texture coordinates map s, t into `region`.
template <class F>
void AddGrid(w3ds::Mesh& mesh, int columns, int rows, const Region& region,
             F point) {
  const std::uint16_t base = static_cast<std::uint16_t>(mesh.vertices.size());
  for (int r = 0; r <= rows; ++r)
    for (int c = 0; c <= columns; ++c) {
      float s = float(c) / columns, t = float(r) / rows;
      Vec p = point(s, t);
      mesh.vertices.push_back({p.x, p.y, p.z});
      mesh.coords.push_back({region.u0 + s * (region.u1 - region.u0),
                             region.v0 + t * (region.v1 - region.v0)});
    }
  auto at = [&](int c, int r) {
    return static_cast<std::uint16_t>(base + r * (columns + 1) + c);
  };
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      mesh.faces.push_back({at(c, r), at(c, r + 1), at(c + 1, r + 1), 0});
      mesh.faces.push_back({at(c, r), at(c + 1, r + 1), at(c + 1, r), 0});
    }
}

// s runs around the z axis from +x toward +y; t from the top pole down.
void AddEllipsoid(w3ds::Mesh& mesh, Vec centre, Vec radii,
                  const Region& region) {
  AddGrid(mesh, 32, 20, region, [&](float s, float t) {
    float theta = 2 * kPi * s, phi = kPi * t;
    return centre + Vec{radii.x * std::sin(phi) * std::cos(theta),
                        radii.y * std::sin(phi) * std::sin(theta),
                        radii.z * std::cos(phi)};
  });
}

// A tapered tube from `from` (radius r0) to `to` (radius r1).
void AddTube(w3ds::Mesh& mesh, Vec from, Vec to, float r0, float r1,
             const Region& region) {
  Vec axis = Unit(to - from);
  Vec side =
      Unit(Cross(axis, std::fabs(axis.z) < 0.9f ? Vec{0, 0, 1} : Vec{1, 0, 0}));
  Vec other = Cross(axis, side);
  AddGrid(mesh, 16, 6, region, [&](float s, float t) {
    float theta = 2 * kPi * s, r = r1 + (r0 - r1) * t;
    Vec ring = r * std::cos(theta) * side + r * std::sin(theta) * other;
    return to + t * (from - to) + ring;
  });
}

struct Part {
  std::string name, materialname;
  w3ds::RGB diffuse;
  w3ds::Mesh mesh;
};

std::vector<Part> BuildMonster() {
  std::vector<Part> parts(5);
  parts[0] = {"body", "skin", {70, 160, 60}, {}};
  AddEllipsoid(parts[0].mesh, {0, 0, 4.5f}, {2.6f, 2.2f, 3.0f}, kSkin);

  parts[1] = {"head", "face", {70, 160, 60}, {}};
  AddEllipsoid(parts[1].mesh, {0, -0.3f, 9.0f}, {2.0f, 1.9f, 1.9f}, kFace);

  parts[2] = {"eyes", "eye", {250, 250, 250}, {}};
  for (float x : {-0.75f, 0.75f})
    AddEllipsoid(parts[2].mesh, {x, -1.95f, 9.5f}, {0.55f, 0.55f, 0.55f}, kEye);

  parts[3] = {"limbs", "limb", {70, 160, 60}, {}};
  for (float x : {-1.3f, 1.3f}) {
    AddTube(parts[3].mesh, {x, 0, 0}, {x, 0, 2.4f}, 0.75f, 0.7f, kSkin);
    AddTube(parts[3].mesh, {x * 1.7f, 0, 5.5f}, {x * 2.9f, -0.8f, 3.4f}, 0.55f,
            0.4f, kSkin);
    AddEllipsoid(parts[3].mesh, {x * 3.0f, -0.9f, 3.2f}, {0.5f, 0.5f, 0.5f},
                 kHorn);
  }

  parts[4] = {"horns", "horn", {240, 230, 200}, {}};
  for (float x : {-1.1f, 1.1f})
    AddTube(parts[4].mesh, {x, -0.1f, 10.3f}, {x * 1.7f, 0.1f, 12.3f}, 0.45f,
            0.02f, kHorn);
  return parts;
}

// Scales and moves the creature so that it stands 12 units tall, centred on
// the origin in x and y and on z = 6.
void Place(std::vector<Part>& parts) {
  float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
  for (const Part& p : parts)
    for (const w3ds::Vec3& v : p.mesh.vertices)
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], v[k]);
        hi[k] = std::max(hi[k], v[k]);
      }
  float scale = 12.0f / (hi[2] - lo[2]);
  float centre[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2,
                     (lo[2] + hi[2]) / 2};
  const float target[3] = {0, 0, 6};
  for (Part& p : parts)
    for (w3ds::Vec3& v : p.mesh.vertices)
      for (int k = 0; k < 3; ++k) v[k] = (v[k] - centre[k]) * scale + target[k];
}

// ---- The texture atlas -------------------------------------------------

struct Colour {
  float r, g, b;
};
Colour Mix(Colour a, Colour b, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Scaly green: cells of darker spots on a mottled base.
Colour Skin(float s, float t) {
  float cells = std::sin(s * 40) * std::sin(t * 40);
  float mottle = 0.5f + 0.5f * std::sin(s * 13 + std::cos(t * 9) * 2);
  Colour base = Mix({0.22f, 0.55f, 0.18f}, {0.40f, 0.75f, 0.25f}, mottle);
  return Mix(base, {0.10f, 0.30f, 0.08f}, (cells - 0.6f) * 3);
}

// s, t of the eye sphere: the viewer looks along +y, so the front of the
// sphere (pointing to -y) is at s = 0.75, t = 0.5.
Colour Eye(float s, float t) {
  float ds = (s - 0.75f) * 2, dt = t - 0.47f;
  float d = std::sqrt(ds * ds + dt * dt);
  if (d < 0.07f) return {0.02f, 0.02f, 0.02f};  // pupil
  if (d < 0.16f) return {0.85f, 0.55f, 0.05f};  // amber iris
  return {0.97f, 0.97f, 0.92f};
}

Colour Horn(float s, float t) {
  float rings = 0.5f + 0.5f * std::sin(t * 60);
  (void)s;
  return Mix({0.92f, 0.88f, 0.75f}, {0.70f, 0.62f, 0.45f}, rings * 0.6f);
}

// The head: skin with a wide grin full of teeth across the front.
Colour Face(float s, float t) {
  float ds = (s - 0.75f) * 4;  // across the front
  float smile = 0.70f - 0.06f * ds * ds;
  if (std::fabs(ds) < 0.8f && t > smile - 0.05f && t < smile + 0.06f) {
    bool tooth = std::fmod(s * 64, 1.0f) < 0.55f;
    if (t < smile - 0.02f && tooth) return {1.0f, 1.0f, 0.95f};
    return {0.45f, 0.05f, 0.08f};
  }
  return Skin(s, t);
}

bool WriteAtlas(const std::string& path) {
  const int size = 256, half = size / 2;
  SDL_Surface* image = SDL_CreateRGBSurface(SDL_SWSURFACE, size, size, 24,
                                            0xFF0000, 0x00FF00, 0x0000FF, 0);
  if (!image) return false;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float s = float(x % half) / half, t = float(y % half) / half;
      Colour c = y < half ? (x < half ? Skin(s, t) : Eye(s, t))
                          : (x < half ? Horn(s, t) : Face(s, t));
      Uint32 pixel = SDL_MapRGB(image->format, Uint8(c.r * 255),
                                Uint8(c.g * 255), Uint8(c.b * 255));
      Uint8* p = static_cast<Uint8*>(image->pixels) + y * image->pitch + x * 3;
      for (int k = 0; k < 3; ++k) p[k] = Uint8(pixel >> (8 * k));
    }
  bool ok = SDL_SaveBMP(image, path.c_str()) == 0;
  SDL_FreeSurface(image);
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_monster <output directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<Part> parts = BuildMonster();
  Place(parts);

  w3ds::Chunk editor = w3ds::editor();
  for (const Part& p : parts)
    editor.add(w3ds::materialChunk(p.materialname, {40, 40, 40}, p.diffuse,
                                   {200, 200, 200}, 30, 50, 0)
                   .add(w3ds::textureMap("monster.bmp")));
  for (const Part& p : parts)
    editor.add(w3ds::modelObject(p.name, p.mesh, p.materialname));

  if (!w3ds::writeFile(dir + "/monster.3ds", w3ds::file3ds(editor)) ||
      !WriteAtlas(dir + "/monster.bmp")) {
    std::fprintf(stderr, "make_monster: cannot write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
