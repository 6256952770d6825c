// The chunk stream: opening files, primitive and block readers, positioning,
// and how reads near the end of the buffer behave.
#include <cstring>

#include "testfile.h"

using w3ds::Bytes;

TEST(OpenFile, MissingFileHoldsNoFileAndReadersMoveNothing) {
  Loader3DS loader;
  EXPECT_FALSE(loader.OpenFile(TempPath("does-not-exist.3ds")));
  EXPECT_EQ(nullptr, loader.filebuffer);
  loader.readpos = 3;
  EXPECT_EQ(0u, loader.ReadUINT());
  EXPECT_EQ(0.0f, loader.ReadFLOAT());
  std::string text = "kept";
  EXPECT_FALSE(loader.ReadCSTR(text));
  EXPECT_EQ("kept", text);
  EXPECT_EQ(0u, loader.ReadHeader(nullptr));
  EXPECT_EQ(0u, loader.GetVersion());
  EXPECT_EQ(3u, loader.readpos);
  // The main header read still rewinds before it fails.
  EXPECT_EQ(0u, loader.ReadMainHeader(nullptr));
  EXPECT_EQ(0u, loader.readpos);
}

TEST(OpenFile, EmptyFileOpensWithSizeZero) {
  Loader3DS loader;
  Open(loader, Bytes{});
  EXPECT_NE(nullptr, loader.filebuffer);
  EXPECT_EQ(0u, loader.filesize);
  EXPECT_EQ(0u, loader.ReadUINT());
  EXPECT_EQ(0u, loader.readpos);
}

TEST(OpenFile, SecondOpenReplacesFirstAndFailedOpenDropsIt) {
  Loader3DS loader;
  Open(loader, Bytes{1, 2, 3}, "a");
  Open(loader, Bytes{9, 8}, "b");
  EXPECT_EQ(2u, loader.filesize);
  EXPECT_EQ(9u, loader.ReadCHAR());
  EXPECT_FALSE(loader.OpenFile(TempPath("missing")));
  EXPECT_EQ(nullptr, loader.filebuffer);
  EXPECT_EQ(0u, loader.filesize);
  EXPECT_EQ(0u, loader.readpos);
}

TEST(OpenFile, NamingConstructorOpens) {
  std::string path = TempPath("x.3ds");
  ASSERT_TRUE(w3ds::writeFile(path, Bytes{0x4D, 0x4D}));
  Loader3DS loader(path);
  EXPECT_EQ(2u, loader.filesize);
  EXPECT_EQ(0x4D4Du, loader.ReadSHORT());
}

TEST(ReadHeader, MainHeaderAtOffsetZeroWhateverTheReadPosition) {
  Loader3DS loader;
  Open(loader, Bytes{0x4D, 0x4D, 0x10, 0, 0, 0, 0xAA, 0xBB});
  loader.readpos = 5;
  chunk_header h;
  EXPECT_EQ(0x4D4Du, loader.ReadMainHeader(&h));
  EXPECT_EQ(0x4D4D, h.id);
  EXPECT_EQ(0u, h.start);
  EXPECT_EQ(16u, h.length);
  EXPECT_EQ(6u, loader.readpos);

  Open(loader, Bytes{0x34, 0x12, 0x06, 0, 0, 0});
  EXPECT_EQ(0x1234u, loader.ReadMainHeader(nullptr));  // any identifier
  EXPECT_EQ(6u, loader.readpos);
}

TEST(ReadHeader, NullRecordStillAdvancesAndReturnsIdentifier) {
  Loader3DS loader;
  Open(loader, Bytes{0, 0, 0x10, 0x41, 8, 0, 0, 0});
  loader.readpos = 2;
  EXPECT_EQ(0x4110u, loader.ReadHeader(nullptr));
  EXPECT_EQ(8u, loader.readpos);
}

TEST(PrimitiveReaders, LittleEndianAtAnyOffset) {
  Loader3DS loader;
  float f = -2.5f;
  unsigned char fb[4];
  std::memcpy(fb, &f, 4);
  Open(loader, Bytes{0xEE, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0xCD,
                     0xAB, fb[0], fb[1], fb[2], fb[3], 0x80});
  loader.readpos = 1;  // odd offset
  EXPECT_EQ(0x12345678u, loader.ReadUINT());
  EXPECT_EQ(-1, loader.ReadINT());
  EXPECT_EQ(0xABCDu, loader.ReadSHORT());
  EXPECT_EQ(-2.5f, loader.ReadFLOAT());
  EXPECT_EQ(0x80u, loader.ReadCHAR());
  EXPECT_EQ(16u, loader.readpos);
}

TEST(BlockReaders, StringsStopAtTheZeroByteAndConsumeIt) {
  Loader3DS loader;
  Open(loader, Bytes{0x61, 0x62, 0x63, 0, 0, 0x7A});
  std::string text;
  EXPECT_TRUE(loader.ReadCSTR(text));
  EXPECT_EQ("abc", text);
  EXPECT_EQ(4u, loader.readpos);
  EXPECT_TRUE(loader.ReadCSTR(text));
  EXPECT_EQ("", text);
  EXPECT_EQ(5u, loader.readpos);
  // No zero byte before the end: the string ends with the file.
  EXPECT_TRUE(loader.ReadCSTR(text));
  EXPECT_EQ("z", text);
  EXPECT_EQ(6u, loader.readpos);
  EXPECT_TRUE(loader.ReadCSTR(text));
  EXPECT_EQ("", text);
  EXPECT_EQ(6u, loader.readpos);
}

TEST(BlockReaders, NullDestinationsSkip) {
  Loader3DS loader;
  Open(loader, Bytes(40, 1));
  EXPECT_TRUE(loader.ReadDATA(5, nullptr));
  EXPECT_EQ(5u, loader.readpos);
  EXPECT_TRUE(loader.ReadRGB(nullptr));
  EXPECT_EQ(17u, loader.readpos);
  EXPECT_TRUE(loader.ReadRGB2(nullptr));
  EXPECT_EQ(20u, loader.readpos);
}

TEST(BlockReaders, ColoursAreStoredUnchanged) {
  Loader3DS loader;
  w3ds::Chunk c(0);
  c.u8(0xFF).u8(0x80).u8(0).f32(0.25f).f32(-1.0f).f32(3e9f);
  Open(loader, c.data);
  unsigned char bytes[3];
  float floats[3];
  EXPECT_TRUE(loader.ReadRGB2(bytes));
  EXPECT_EQ(255, bytes[0]);
  EXPECT_EQ(128, bytes[1]);
  EXPECT_EQ(0, bytes[2]);
  EXPECT_TRUE(loader.ReadRGB(floats));
  EXPECT_EQ(0.25f, floats[0]);
  EXPECT_EQ(-1.0f, floats[1]);
  EXPECT_EQ(3e9f, floats[2]);
  EXPECT_EQ(15u, loader.readpos);
}

TEST(BoundsRule, ReadsPastTheEndYieldZerosAndStopAtTheEnd) {
  Loader3DS loader;
  Open(loader, Bytes{1, 2, 3, 4, 5, 6, 7});
  loader.readpos = 5;
  EXPECT_EQ(0u, loader.ReadUINT());
  EXPECT_EQ(7u, loader.readpos);
  EXPECT_EQ(0u, loader.ReadCHAR());
  EXPECT_EQ(7u, loader.readpos);

  loader.readpos = 4;
  unsigned char dest[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_TRUE(loader.ReadDATA(5, dest));  // only 3 bytes left
  EXPECT_EQ(0, dest[0]);
  EXPECT_EQ(0, dest[4]);
  EXPECT_EQ(9, dest[5]);
  EXPECT_EQ(7u, loader.readpos);

  loader.readpos = 1;
  EXPECT_TRUE(loader.ReadDATA(0xFFFFFFFFu, nullptr));
  EXPECT_EQ(7u, loader.readpos);

  // A header cut off by the end: the part that is there is read.
  loader.readpos = 3;
  chunk_header h;
  EXPECT_EQ(0x0504u, loader.ReadHeader(&h));
  EXPECT_EQ(3u, h.start);
  EXPECT_EQ(0u, h.length);
  EXPECT_EQ(7u, loader.readpos);
}

TEST(BoundsRule, ReadPositionSetBeyondTheFileReadsNothing) {
  Loader3DS loader;
  Open(loader, Bytes{1, 2, 3});
  loader.readpos = 1000;  // the field is public; readers must not trust it
  EXPECT_EQ(0u, loader.ReadCHAR());
  std::string text = "x";
  EXPECT_TRUE(loader.ReadCSTR(text));
  EXPECT_EQ("", text);
  EXPECT_EQ(3u, loader.readpos);
}

TEST(Seek, RelativeSeekClampsToTheBuffer) {
  Loader3DS loader;
  Open(loader, Bytes(10, 0));
  loader.readpos = 4;
  EXPECT_EQ(7u, loader.Seek(true, 3));
  EXPECT_EQ(2u, loader.Seek(false, 5));
  EXPECT_EQ(0u, loader.Seek(false, 3));
  EXPECT_EQ(9u, loader.Seek(true, 100));  // last byte, not the size
  EXPECT_EQ(9u, loader.Seek(true, 0xFFFFFFFFu));
  EXPECT_EQ(0u, loader.Seek(false, 0xFFFFFFFFu));

  Open(loader, Bytes{});
  EXPECT_EQ(0u, loader.Seek(true, 5));
  EXPECT_EQ(0u, loader.Seek(false, 5));
}

TEST(Seek, AbsoluteSeekIsBoundedToTheLastByte) {
  Loader3DS loader;
  Open(loader, Bytes(10, 0));
  EXPECT_EQ(6u, loader.Seek(6u));
  EXPECT_EQ(9u, loader.Seek(10u));
  EXPECT_EQ(9u, loader.Seek(0xFFFFFFFFu));
  Open(loader, Bytes{});
  EXPECT_EQ(0u, loader.Seek(3u));
}

TEST(GetVersion, ReturnsByte28AndKeepsThePosition) {
  Loader3DS loader;
  Bytes bytes(40, 0);
  bytes[28] = 0xC3;
  Open(loader, bytes);
  loader.readpos = 11;
  EXPECT_EQ(0xC3u, loader.GetVersion());
  EXPECT_EQ(11u, loader.readpos);

  Open(loader, Bytes(28, 0xFF));  // no byte 28
  loader.readpos = 5;
  EXPECT_EQ(0u, loader.GetVersion());
  EXPECT_EQ(5u, loader.readpos);
}

TEST(ChunkArithmetic, SkipChunkAndReadDataUseStartPlusLength) {
  Loader3DS loader;
  w3ds::Chunk c(0x1234);
  c.u8(1).u8(2).u8(3).u8(4).u8(5);
  Bytes bytes{0xEE, 0xEE, 0xEE};
  Bytes cb = c.bytes();
  bytes.insert(bytes.end(), cb.begin(), cb.end());
  bytes.push_back(0xEE);
  Open(loader, bytes);
  loader.readpos = 3;
  chunk_header h;
  loader.ReadHeader(&h);
  EXPECT_EQ(11u, h.length);
  EXPECT_TRUE(loader.SkipChunk(h));
  EXPECT_EQ(14u, loader.readpos);

  unsigned char data[6] = {0, 0, 0, 0, 0, 0x77};
  loader.readpos = 0;
  EXPECT_FALSE(loader.ReadData(h, nullptr));
  EXPECT_EQ(0u, loader.readpos);
  EXPECT_TRUE(loader.ReadData(h, data));
  EXPECT_EQ(5, data[4]);
  EXPECT_EQ(0x77, data[5]);  // exactly length - 6 bytes
  EXPECT_EQ(14u, loader.readpos);
}

TEST(ChunkArithmetic, ChunksRunningPastTheFileStopAtItsEnd) {
  Loader3DS loader;
  Open(loader, w3ds::Chunk(0x1111).u32(5).length(0xFFFFFFF0u).bytes());
  chunk_header h;
  loader.ReadHeader(&h);
  EXPECT_TRUE(loader.SkipChunk(h));
  EXPECT_EQ(loader.filesize, loader.readpos);
  // start + length wraps in 32 bits; the position must not move backwards.
  h.start = 4;
  EXPECT_TRUE(loader.SkipChunk(h));
  EXPECT_EQ(loader.filesize, loader.readpos);
}
