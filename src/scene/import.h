// Reads a 3DS file's scene (scene.h): meshes, materials, the keyframer's
// placements, the cameras, the lights, the ambient light, background and
// fog. Linear in the size of the file.
#ifndef MODELVIEWER_IMPORT_H
#define MODELVIEWER_IMPORT_H

#include <string>

#include "base/input_files.h"
#include "base/messages.h"
#include "loader/3dsloader.h"
#include "scene/scene.h"

// Imports every model of the file that `loader` holds. A mesh without a
// vertex list or a face list, or whose faces name vertices it does not have,
// is left out with a warning. False, with the reason, when the bytes are not
// a 3DS file or hold no face to draw.
bool ImportScene(Loader3DS& loader, Scene& scene, std::string& why);

// Reads the file at `path` (a regular file, noted in `inputs`) and imports
// its scene; the reader's copy of the file is gone on return. Writes the
// model count line of a file that starts as a 3DS file when `countline`
// asks, and a line per warning. False, with the reason (naming the file),
// when the file is refused; with `whole`, a file cut short is refused too.
bool LoadScene(const std::string& path, bool countline,
               const Messages& messages, InputFiles& inputs, Scene& scene,
               std::string& why, bool whole = false);

// Notes in `inputs` the files that showing `path` reads, before any is
// read for drawing: the file itself, whatever it holds (one that is refused
// too), and the image files that its materials name as maps, found as the
// viewer would load them (FindMap). Says nothing: the import says what is
// wrong with the file. Reads the file, but decodes only its materials.
void NoteFilesRead(const std::string& path, InputFiles& inputs);

#endif
