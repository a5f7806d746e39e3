#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "korutil/korutil.h"

TEST(Switches, NumbersLeaveTheNames) {
  char line[] = "in.avi /W320 /h240 out.flc";
  EXPECT_EQ(GetSwitchNum(line, 'W', 0), 320);
  EXPECT_EQ(GetSwitchNum(line, 'H', 0), 240);
  EXPECT_STREQ(line, "in.avi   out.flc");
  EXPECT_EQ(GetSwitchNum(line, 'W', -7), -7);
}

TEST(Switches, Table) {
  enum Kind { FLAG, NUM, STR };
  struct Case {
    Kind kind;
    const char* line;
    char letter;
    int result;        // flag or number; for strings 1 when found
    const char* value; // strings: the value copied (default "dflt")
    const char* rest;
  } cases[] = {
      {FLAG, "/P", 'P', 1, nullptr, ""},
      {FLAG, "/P5", 'P', 0, nullptr, "/P5"},  // a number switch
      {FLAG, "/p/Q", 'P', 1, nullptr, "/Q"},
      {FLAG, "a /P- b", 'P', 1, nullptr, "a - b"},
      {FLAG, "dir/p-1.avi", 'P', 0, nullptr, "dir/p-1.avi"},  // "/" inside a path
      {NUM, "/W320x", 'W', 320, nullptr, "x"},
      {NUM, "a /w-12 b", 'W', -12, nullptr, "a  b"},
      {NUM, "/W- a", 'W', 99, nullptr, "/W- a"},
      {NUM, "out/t-1.avi", 'T', 99, nullptr, "out/t-1.avi"},
      {STR, "/&\"my name.pal\" x", '&', 1, "my name.pal", " x"},
      {STR, "a /Oout.avi b", 'O', 1, "out.avi", "a  b"},
      {STR, "/O/tmp/x.avi", 'O', 1, "/tmp/x.avi", ""},
      {STR, "/O \"x\"", 'O', 0, "dflt", "/O \"x\""},
      {STR, "/O\"open ended", 'O', 1, "\"open", " ended"},
  };
  for (const Case& c : cases) {
    char line[64];
    strcpy(line, c.line);
    if (c.kind == FLAG) {
      EXPECT_EQ(GetSwitch(line, c.letter), c.result) << c.line;
    } else if (c.kind == NUM) {
      EXPECT_EQ(GetSwitchNum(line, c.letter, 99), c.result) << c.line;
    } else {
      char dst[KOR_NAME_SIZE];
      EXPECT_EQ(GetSwitchStr(line, c.letter, dst, "dflt"), c.result) << c.line;
      EXPECT_STREQ(dst, c.value) << c.line;
    }
    EXPECT_STREQ(line, c.rest) << c.line;
  }
}

TEST(Switches, Fractions) {
  struct Case {
    const char* line;
    int num, den;
  } cases[] = {
      {"/F29.97", 2997, 100}, {"/f30000;1001", 30000, 1001}, {"/F-40", -40, 1},
      {"/F.5", 1, 2},         {"x.avi", 5, 3},
  };
  for (const Case& c : cases) {
    char line[32];
    strcpy(line, c.line);
    int32_t n = 0, d = 0;
    GetSwitchFractional(line, 'F', &n, &d, 5, 3);
    EXPECT_EQ(n, c.num) << c.line;
    EXPECT_EQ(d, c.den) << c.line;
    EXPECT_STREQ(line, c.num == 5 ? c.line : "") << c.line;
  }
}

TEST(Switches, LongStringValueStaysInTheLine) {
  std::string line = "/&" + std::string(200, 'n') + " b";
  std::string before = line;
  char dst[KOR_NAME_SIZE];
  EXPECT_EQ(GetSwitchStr(line.data(), '&', dst, "d"), 0);
  EXPECT_STREQ(dst, "d");
  EXPECT_EQ(line, before);
  std::string long_def(300, 'x');
  GetSwitchStr(line.data(), 'Q', dst, long_def.c_str());
  EXPECT_EQ(strlen(dst), (size_t)KOR_NAME_SIZE - 1);
}

TEST(Switches, MinusSwitches) {
  struct Case {
    const char* line;
    const char* rest;
  } cases[] = {
      {"/Tabc /-T", " "},
      {"/Tabc /-t /T5", "  /T5"},
      {"a /W1 /Q /w\"x y\" b /-W c", "a  /Q  b  c"},
      {"x /Q /-", "x /Q "},
      {"path/-T", "path/-T"},
  };
  for (const Case& c : cases) {
    char line[64];
    strcpy(line, c.line);
    RemoveMinusSwitches(line);
    EXPECT_STREQ(line, c.rest) << c.line;
  }
}

TEST(Strings, Tokens) {
  struct Case {
    const char* src;
    bool quoted;
    const char* first;
    const char* rest;
  } cases[] = {
      {"  a.avi  , b.avi c", false, "a.avi", "b.avi c"},
      {"\"my file.avi\" next", true, "my file.avi", "next"},
      {"\"my file.avi\" next", false, "\"my", "file.avi\" next"},
      {"\"unclosed x", true, "\"unclosed", "x"},
      {"one", true, "one", ""},
      {"   ", false, "", ""},
      {"", true, "", ""},
  };
  for (const Case& c : cases) {
    char src[64], dst[64];
    strcpy(src, c.src);
    (c.quoted ? GetAndRemoveFirstQuoted : GetAndRemoveFirst)(dst, src);
    EXPECT_STREQ(dst, c.first) << c.src;
    EXPECT_STREQ(src, c.rest) << c.src;
  }
}

TEST(Strings, TrimAndQuotes) {
  struct Case {
    char* (*fn)(char*);
    const char* in;
    const char* out;
  } cases[] = {
      {Trim, "  a b \t", "a b"},
      {Trim, " \x80\xff ", ""},  // bytes from 128 count as blanks
      {TrimAscii, "   ", ""},
      {TrimAscii, "\x01x\x1f", "x"},
      {TrimL, "  a ", "a "},
      {RemoveQuotes, "  \"x y\" ", "x y"},
      {RemoveQuotes, "\"", "\""},
      {RemoveQuotes, "\"\"", ""},
      {RemoveQuotes, "\"a", "\"a"},
  };
  for (const Case& c : cases) {
    char buf[32];
    strcpy(buf, c.in);
    EXPECT_EQ(c.fn(buf), buf);
    EXPECT_STREQ(buf, c.out) << c.in;
  }
}

TEST(Strings, Numbers) {
  char buf[16];
  EXPECT_EQ(u32toa(buf, 0), buf + 1);
  EXPECT_STREQ(buf, "0");
  EXPECT_EQ(u32toa(buf, 4294967295u), buf + 10);
  EXPECT_STREQ(buf, "4294967295");
  EXPECT_EQ(atou32("  123x"), 123u);
  EXPECT_EQ(atou32("x"), 0u);
  const char* t = "a,b";
  EXPECT_EQ(findchar(t, ','), t + 1);
  EXPECT_EQ(findchar(t, ';'), nullptr);
}
