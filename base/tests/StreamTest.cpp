#include <gtest/gtest.h>

#include <cstring>

#include "base/Exceptions.h"
#include "base/Stream.h"
#include "base/tests/TestUtil.h"

TEST(MemoryStream, ReadWriteSeekEdges) {
  TMemoryStream m;
  EXPECT_EQ(m.Size(), 0);
  char buf[16] = {};
  EXPECT_EQ(m.Read(buf, 8), 0);               // read from empty
  EXPECT_EQ(m.Write("abc", 0), 0);            // zero-length write
  EXPECT_EQ(m.Write("hello", 5), 5);
  EXPECT_EQ(m.Position(), 5);
  m.SetPosition(3);
  EXPECT_EQ(m.Read(buf, 8), 2);               // short read at the end
  EXPECT_EQ(std::string(buf, 2), "lo");
  EXPECT_EQ(m.Read(buf, 8), 0);               // past the end
  m.SetPosition(8);                           // seek past the end, then write: gap is zero
  m.Write("!", 1);
  ASSERT_EQ(m.Size(), 9);
  EXPECT_EQ(std::memcmp(m.Memory(), "hello\0\0\0!", 9), 0);
  EXPECT_THROW(m.Seek(-1, soBeginning), EStreamError);
  m.SetPosition(0);
  EXPECT_THROW(m.ReadBuffer(buf, 10), EReadError);
}

TEST(MemoryStream, SetSizeTruncatesAndGrows) {
  TMemoryStream m;
  m.Write("abcdef", 6);
  m.SetSize(3);
  EXPECT_EQ(m.Size(), 3);
  EXPECT_EQ(m.Position(), 3);
  m.SetSize(5);
  EXPECT_EQ(std::memcmp(m.Memory(), "abc\0\0", 5), 0);
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Memory(), nullptr);
}

TEST(MemoryStream, GrowsAcrossManyWrites) {
  TMemoryStream m;
  std::string expect;
  for (int i = 0; i < 5000; ++i) {
    std::string s = std::to_string(i) + ",";
    m.WriteBuffer(s.data(), static_cast<std::int64_t>(s.size()));
    expect += s;
  }
  ASSERT_EQ(m.Size(), static_cast<std::int64_t>(expect.size()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), expect.size()), expect);
}

TEST(MemoryStream, CapacitySetAheadTakesTheWritesWithoutMoving) {
  TMemoryStream m;
  m.SetCapacity(10000);
  EXPECT_EQ(m.Capacity(), 10000);
  EXPECT_EQ(m.Size(), 0);
  const std::uint8_t* const buffer = m.Memory();
  ASSERT_NE(buffer, nullptr);
  std::string expect;
  for (int i = 0; i < 1000; ++i) {
    const std::string s = std::to_string(i % 10) + "abcdefghi";
    m.WriteBuffer(s.data(), static_cast<std::int64_t>(s.size()));
    expect += s;
  }
  EXPECT_EQ(m.Memory(), buffer);
  EXPECT_EQ(m.Capacity(), 10000);
  ASSERT_EQ(m.Size(), 10000);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), expect.size()), expect);

  // One more byte grows it; shrinking the capacity never cuts the data.
  m.WriteBuffer("!", 1);
  EXPECT_GT(m.Capacity(), 10001);
  m.SetCapacity(5);
  EXPECT_EQ(m.Capacity(), 10001);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), 10001), expect + "!");

  // After a shrink the bytes past the end read as zero when it grows again.
  m.SetSize(4);
  m.SetCapacity(4);
  m.SetSize(8);
  EXPECT_EQ(std::memcmp(m.Memory(), "0abc\0\0\0\0", 8), 0);
  m.Clear();
  m.SetCapacity(0);
  EXPECT_EQ(m.Memory(), nullptr);
  EXPECT_EQ(m.Capacity(), 0);
}

TEST(FileStream, OpenErrors) {
  TempDir dir;
  EXPECT_THROW(TFileStream(dir.File("missing"), fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir.File("no/such/folder/f"), fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(dir.Path(), fmOpenRead), EFOpenError);  // a folder
}

TEST(FileStream, RoundTripAndCopy) {
  TempDir dir;
  {
    TFileStream f(dir.File("a"), fmCreate);
    f.WriteBuffer("0123456789", 10);
    EXPECT_EQ(f.Size(), 10);
    f.SetSize(4);
    EXPECT_EQ(f.Size(), 4);
  }
  EXPECT_EQ(ReadTestFile(dir.File("a")), "0123");
  TFileStream in(dir.File("a"), fmOpenRead | fmShareDenyWrite);
  TMemoryStream m;
  EXPECT_EQ(m.CopyFrom(in, 0), 4);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), 4), "0123");
  in.SetPosition(2);
  char buf[4];
  EXPECT_EQ(in.Read(buf, 4), 2);
  in.SetPosition(1);
  EXPECT_THROW(m.CopyFrom(in, 10), EReadError);  // source ends early
}

#ifndef _WIN32
// 64-bit positions: a sparse file past 4 GiB (natively only, where sparse
// files cost nothing).
TEST(FileStream, PositionsBeyondFourGiB) {
  TempDir dir;
  const std::int64_t far = (std::int64_t{1} << 32) + 12345;
  {
    TFileStream f(dir.File("big"), fmCreate);
    f.SetPosition(far);
    f.WriteBuffer("tail", 4);
    EXPECT_EQ(f.Position(), far + 4);
    EXPECT_EQ(f.Size(), far + 4);
  }
  TFileStream f(dir.File("big"), fmOpenRead);
  EXPECT_EQ(f.Seek(-4, soEnd), far);
  char buf[4];
  f.ReadBuffer(buf, 4);
  EXPECT_EQ(std::string(buf, 4), "tail");
  f.SetPosition(far - 2);
  f.ReadBuffer(buf, 2);
  EXPECT_EQ(buf[0], 0);
}
#endif
