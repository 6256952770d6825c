// How a 3DS file frames its data, as far as every room needs to know it:
// the header that starts each chunk, and the main chunk that starts a file.
#ifndef MODELVIEWER_CHUNK_FORMAT_H
#define MODELVIEWER_CHUNK_FORMAT_H

#include "loader/3dsloader.h"

// Every chunk starts with its identifier (2 bytes) and length (4 bytes).
const unsigned int kChunkHeaderSize = 6;

// Whether a chunk header's first bytes name the main chunk that starts
// every 3DS file.
inline bool NamesMainChunk(const unsigned char* header) {
  return (header[0] | header[1] << 8) == CHUNK_MAIN;
}

// Why a file that does not start so is refused, wherever it is found out.
const char kNoMainChunk[] = "not a 3DS file (no main chunk 0x4D4D)";

#endif
