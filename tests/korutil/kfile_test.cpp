#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "korutil/korutil.h"
#include "platform/plat.h"
#include "test_util.h"

typedef std::vector<unsigned char> Bytes;

class KFile : public testing::Test {
 protected:
  std::string dir = TestTempDir();
  std::string Path(const char* leaf) { return dir + "/" + leaf; }
  KORFile* Make(const std::string& name, const Bytes& data, int32_t buf, int32_t mode = KORFILE_READWRITE) {
    TestWriteFile(name, data.data(), data.size());
    return KORFileOpen(buf, name.c_str(), mode);
  }
};

static Bytes Seq(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; i++) b[i] = (unsigned char)(i * 7 + 3);
  return b;
}

TEST_F(KFile, OpenRules) {
  std::string a = Path("a.bin");
  TestWriteFile(a, "abc", 3);
  EXPECT_EQ(KORFileOpen(16, a.c_str(), 249), nullptr);
  EXPECT_EQ(KORFileOpen(16, nullptr, KORFILE_READ), nullptr);
  EXPECT_EQ(KORFileOpen(16, Path("missing").c_str(), KORFILE_READ), nullptr);
  // Names fill a 128-byte field: 127 characters open, 128 are refused and
  // nothing is created.
  std::string n127 = dir + "/" + std::string(126 - dir.size(), 'n');
  std::string n128 = n127 + "m";
  ASSERT_EQ(n127.size(), 127u);
  KORFile* f = KORFileCreate(16, n127.c_str());
  ASSERT_NE(f, nullptr);
  char name[KOR_NAME_SIZE];
  EXPECT_STREQ(KORFileGetName(f, name), n127.c_str());
  EXPECT_EQ(std::string(name), n127);
  KORFileClose(f);
  EXPECT_EQ(KORFileCreate(16, n128.c_str()), nullptr);
  EXPECT_EQ(KORFileCreateWithRead(16, n128.c_str()), nullptr);
  struct stat st;
  EXPECT_NE(stat(n128.c_str(), &st), 0);
}

TEST_F(KFile, ClosedHandleDoesNothing) {
  KORFile* f = Make(Path("c.bin"), Seq(8), 4);
  ASSERT_NE(f, nullptr);
  PlatFile h = f->handle;
  f->handle = -1;
  char b[4];
  EXPECT_EQ(KORFileGetNB(f, b, 4), 0);
  EXPECT_EQ(KORFileGetBits(f, 5), 0u);
  EXPECT_EQ(KORFilePutNB(f, b, 4), 0);
  EXPECT_EQ(KORFileSize(f), 0u);
  EXPECT_EQ(KORFileGetPos(f), 0u);
  EXPECT_TRUE(KORFileAtEnd(f));
  EXPECT_EQ(KORFileGetName(f, nullptr), nullptr);
  EXPECT_EQ(KORFileGetLine(f, b, 4), nullptr);
  EXPECT_STREQ(b, "");
  KORFileClose(f);  // only frees
  PlatFileClose(h);
}

// Writes and reads back blocks of many sizes, on either side of the buffer
// size, plus direct 16- and 32-bit values.
TEST_F(KFile, BufferSizesRoundTrip) {
  const int32_t sizes[] = {0, 1, 7, 64, -64, 4096};
  const int32_t blocks[] = {1, 3, 64, 65, 200, 7, 0, 1000};
  for (int32_t bs : sizes) {
    std::string name = Path("rt.bin");
    KORFile* f = KORFileCreate(bs, name.c_str());
    ASSERT_NE(f, nullptr);
    Bytes model;
    unsigned char v = 0;
    for (int32_t n : blocks) {
      Bytes blk(n);
      for (auto& b : blk) b = v++;
      EXPECT_EQ(KORFilePutNB(f, blk.data(), n), n);
      model.insert(model.end(), blk.begin(), blk.end());
      KORFilePut16(f, 0xA1B2);
      KORFilePut32(f, 0xC3D4E5F6);
      const unsigned char le[6] = {0xB2, 0xA1, 0xF6, 0xE5, 0xD4, 0xC3};
      model.insert(model.end(), le, le + 6);
    }
    EXPECT_EQ(KORFileGetPos(f), model.size());
    KORFileClose(f);
    EXPECT_EQ(TestReadFile(name), model) << bs;

    f = KORFileOpen(bs, name.c_str(), KORFILE_READ);
    ASSERT_NE(f, nullptr);
    size_t at = 0;
    for (int32_t n : blocks) {
      Bytes blk(n);
      EXPECT_EQ(KORFileGetNB(f, blk.data(), n), n);
      EXPECT_TRUE(std::equal(blk.begin(), blk.end(), model.begin() + at)) << bs << " " << n;
      at += n;
      EXPECT_EQ(KORFileGet16(f), 0xA1B2u);
      EXPECT_EQ(KORFileGet32(f), 0xC3D4E5F6u);
      at += 6;
    }
    EXPECT_TRUE(KORFileAtEnd(f));
    char more[8];
    EXPECT_EQ(KORFileGetNB(f, more, 8), 0);
    EXPECT_EQ(KORFileGetNB(f, more, -5), 0);
    EXPECT_EQ(KORFileSize(f), model.size());
    KORFileClose(f);
    EXPECT_EQ(korfilesize(name.c_str()), model.size());
  }
}

TEST_F(KFile, PositionedWrites) {
  for (int32_t bs : {0, 16, 4096}) {
    std::string name = Path("pos.bin");
    KORFile* f = KORFileCreate(bs, name.c_str());
    Bytes model = Seq(40);
    KORFilePutNB(f, model.data(), 40);
    EXPECT_EQ(KORFileSetPos(f, 10), 40u);
    KORFilePutNB(f, "AB", 2);
    EXPECT_EQ(KORFileSetPos(f, 38), 12u);
    KORFilePut8(f, 'Z');
    EXPECT_EQ(KORFileSetPos(f, 44), 39u);  // past the end: a hole of zeros
    KORFilePut8(f, 'E');
    model[10] = 'A', model[11] = 'B', model[38] = 'Z';
    model.resize(44, 0);
    model.push_back('E');
    EXPECT_EQ(KORFileSize(f), 45u);
    EXPECT_EQ(KORFileSetPos(f, 0), 45u);
    Bytes back(50);
    EXPECT_EQ(KORFileGetNB(f, back.data(), 50), 45);
    back.resize(45);
    EXPECT_EQ(back, model) << bs;
    // Reading and then writing in place, through the read buffer.
    KORFileSetPos(f, 2);
    EXPECT_EQ(KORFileGet8(f), model[2]);
    KORFilePut8(f, 'q');
    EXPECT_EQ(KORFileGet8(f), model[4]);
    model[3] = 'q';
    KORFileClose(f);
    EXPECT_EQ(TestReadFile(name), model) << bs;
  }
}

TEST_F(KFile, ShortSeeksStayInTheBuffer) {
  KORFile* f = Make(Path("s.bin"), Seq(64), 16, KORFILE_READ);
  for (int i = 0; i < 3; i++) KORFileGet8(f);
  EXPECT_EQ(KORFileSetPos(f, 3), 3u);  // where it stands: nothing changes
  EXPECT_EQ(KORFileGetPos(f), 3u);
  struct Case {
    uint32_t off;
    int in;
  } cases[] = {{0, 1}, {15, 1}, {16, 0}, {40, 0}};
  for (const Case& c : cases) EXPECT_EQ(KORFileIsInBuffer(f, c.off), c.in) << c.off;
  KORFileSetPos(f, 1);
  EXPECT_EQ(KORFileGet8(f), Seq(64)[1]);
  KORFileSetPos(f, 40);
  EXPECT_EQ(KORFileIsInBuffer(f, 3), 0);
  EXPECT_EQ(KORFileGet8(f), Seq(64)[40]);
  EXPECT_EQ(KORFileIsInBuffer(f, 55), 1);
  KORFileClose(f);
}

TEST_F(KFile, Align) {
  struct Case {
    uint32_t size, pos;
    int32_t a;
    uint32_t new_pos, new_size;
  } cases[] = {
      {6, 6, 4, 8, 8},   // past the end: two zero bytes
      {8, 8, 4, 8, 8},   // already aligned
      {8, 1, 4, 4, 8},   // inside the file: a seek
      {5, 3, 0, 3, 5},   // no alignment
      {5, 3, -4, 3, 5},
      {6, 2, 16, 16, 16},
  };
  for (const Case& c : cases) {
    std::string name = Path("al.bin");
    KORFile* f = Make(name, Bytes(c.size, 0xEE), 4);
    KORFileSetPos(f, c.pos);
    KORFileAlign(f, c.a);
    EXPECT_EQ(KORFileGetPos(f), c.new_pos) << c.size << " " << c.pos << " " << c.a;
    KORFileClose(f);
    Bytes want(c.size, 0xEE);
    want.resize(c.new_size, 0);
    EXPECT_EQ(TestReadFile(name), want) << c.size << " " << c.pos << " " << c.a;
  }
}

TEST_F(KFile, GetLine) {
  const char* text = "abc\r\nline two\n\nlast";
  KORFile* f = Make(Path("l.txt"), Bytes(text, text + strlen(text)), 8, KORFILE_READ);
  char buf[32];
  for (const char* want : {"abc", "line two", "", "last"}) EXPECT_STREQ(KORFileGetLine(f, buf, sizeof buf), want);
  EXPECT_TRUE(KORFileAtEnd(f));
  EXPECT_STREQ(KORFileGetLine(f, buf, sizeof buf), "");
  KORFileClose(f);

  f = Make(Path("m.txt"), Bytes{'a', 'b', 'c', 'd', 'e', 'f', '\n'}, 0, KORFILE_READ);
  EXPECT_STREQ(KORFileGetLine(f, buf, 4), "abc");
  strcpy(buf, "zz");
  EXPECT_STREQ(KORFileGetLine(f, buf, 1), "");  // reads nothing
  EXPECT_STREQ(buf + 1, "z");
  buf[0] = 'y';
  EXPECT_EQ(KORFileGetLine(f, buf, 0), buf);  // no room: untouched
  EXPECT_EQ(buf[0], 'y');
  EXPECT_STREQ(KORFileGetLine(f, buf, sizeof buf), "def");
  KORFileClose(f);
}

TEST_F(KFile, EraseRenameAndTimes) {
  std::string a = Path("a"), b = Path("b");
  TestWriteFile(a, "1", 1);
  TestWriteFile(Path("c"), "2", 1);
  struct Case {
    int op;  // 0 erase, 1 rename
    std::string x, y;
    int want;
  } cases[] = {
      {1, b, a, 0},           // new name first
      {1, b, a, 1},           // the existing one is gone
      {1, Path("c"), b, 2},   // target exists
      {0, Path("no"), "", 1},
      {0, dir, "", 2},        // a directory
      {0, b, "", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.op ? KORFileRename(c.x.c_str(), c.y.c_str()) : KORFileErase(c.x.c_str()), c.want) << c.x;

  KORFile* f = KORFileCreateWithRead(8, a.c_str());
  KORFilePutNB(f, "data", 4);
  KORFileSetTime(f, 0x01D00000);  // flushes first, so the time holds
  EXPECT_EQ(KORFileGetTime(f), 0x01D00000u);
  KORFileClose(f);
  f = KORFileOpen(8, a.c_str(), KORFILE_READ);
  EXPECT_EQ(KORFileGetTime(f), 0x01D00000u);
  KORFileClose(f);
}

TEST_F(KFile, ShortWriteSetsTheFlag) {
  KORFile* f = Make(Path("ro.bin"), Seq(4), 8, KORFILE_READ);
  EXPECT_EQ(KORFilePutNB(f, "xy", 2), 2);  // no error here...
  KORFileFlush(f, 0);
  EXPECT_EQ(f->write_failed, 1);  // ...but in the record
  KORFileClose(f);
}

TEST_F(KFile, LogString) {
  std::string log = Path("k.log");
  LogString(log.c_str(), "ab");
  LogString(log.c_str(), "cd\n");
  LogString(Path("nodir/x.log").c_str(), "lost");  // silent
  Bytes want{'a', 'b', 'c', 'd', '\n'};
  EXPECT_EQ(TestReadFile(log), want);
  EXPECT_EQ(korfilesize(Path("none").c_str()), 0u);
}

// Random positioned reads and writes of blocks and single bytes against a
// byte vector.
TEST_F(KFile, RandomPositionedIoMatchesModel) {
  std::mt19937 rng(1234);
  for (int32_t bs : {0, 1, 5, 32, 300}) {
    std::string name = Path("r.bin");
    KORFile* f = KORFileCreate(bs, name.c_str());
    Bytes model;
    uint32_t pos = 0;
    for (int step = 0; step < 3000; step++) {
      int op = rng() % 7;
      if (op == 0 || op == 6) {
        // A seek past the end is followed by a write, which fills the hole.
        uint32_t to = op == 0 ? rng() % (model.size() + 1) : model.size() + 1 + rng() % 9;
        EXPECT_EQ(KORFileSetPos(f, to), pos);
        pos = to;
      }
      if ((op >= 1 && op <= 2) || op == 6) {
        int32_t n = 1 + rng() % 80;
        Bytes blk(n);
        for (auto& b : blk) b = (unsigned char)rng();
        if (op != 2) {
          KORFilePutNB(f, blk.data(), n);
        } else {
          for (unsigned char b : blk) KORFilePut8(f, b);
        }
        if (model.size() < pos + n) model.resize(pos + n, 0);
        std::copy(blk.begin(), blk.end(), model.begin() + pos);
        pos += n;
      } else if (op != 0) {
        int32_t n = rng() % 80;
        Bytes blk(n);
        int32_t want = pos >= model.size() ? 0 : std::min<int32_t>(n, (int32_t)(model.size() - pos));
        ASSERT_EQ(KORFileGetNB(f, blk.data(), n), want) << bs << " step " << step;
        ASSERT_TRUE(std::equal(blk.begin(), blk.begin() + want, model.begin() + pos)) << bs << " step " << step;
        pos += want;
      }
      ASSERT_EQ(KORFileGetPos(f), pos) << bs << " step " << step;
      ASSERT_EQ(KORFileSize(f), std::max<uint32_t>(pos, model.size())) << bs << " step " << step;
    }
    KORFileClose(f);
    EXPECT_EQ(TestReadFile(name), model) << bs;
  }
}
