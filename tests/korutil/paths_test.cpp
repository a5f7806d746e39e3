#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "korutil/korutil.h"
#include "platform/plat.h"
#include "test_util.h"

TEST(Paths, HasExtension) {
  struct Case {
    const char* name;
    int at;  // -1: none
  } cases[] = {{"x.tar.gz", 5}, {"a/b.c/d", -1}, {"dir.d/file", -1}, {"d/.hidden", 2}, {"noext", -1}};
  for (const Case& c : cases) {
    char* e = HasExtension(c.name);
    EXPECT_EQ(e ? (int)(e - c.name) : -1, c.at) << c.name;
  }
}

TEST(Paths, ExpandFileNameBoundedTo256) {
  char cwd[4096];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd));
  char name[KOR_PATH_SIZE] = "./sub/../x.avi";
  ASSERT_EQ(ExpandFileName(name), name);
  EXPECT_EQ(std::string(name), std::string(cwd) + "/x.avi");
  std::string lng = "/" + std::string(KOR_PATH_SIZE - 1, 'a');  // 256 characters
  std::string buf = lng;
  EXPECT_EQ(ExpandFileName(buf.data()), nullptr);
  EXPECT_EQ(buf, lng);
}

TEST(Paths, AddBackslashAndDrive) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{" /tmp ", "/tmp/"}, {"/tmp/", "/tmp/"}, {"", ""}, {"rel", "rel/"}};
  for (const Case& c : cases) {
    char buf[32];
    strcpy(buf, c.in);
    EXPECT_STREQ(AddBackslash(buf), c.out);
  }
  EXPECT_EQ(GetDrive("/a/b"), '/');
  EXPECT_EQ(GetDrive("rel"), '/');
  EXPECT_EQ(GetDrive(""), 0);
}

TEST(Paths, IsDirectory) {
  std::string dir = TestTempDir();
  TestWriteFile(dir + "/f.txt", "x", 1);
  char p[KOR_PATH_SIZE];
  snprintf(p, sizeof p, "%s/", dir.c_str());
  EXPECT_TRUE(IsDirectory(p, 0));
  EXPECT_EQ(std::string(p), dir);  // full path, no trailing "/"
  strcpy(p, "/");
  EXPECT_TRUE(IsDirectory(p, 0));
  EXPECT_STREQ(p, "/");
  snprintf(p, sizeof p, "%s/f.txt", dir.c_str());
  EXPECT_FALSE(IsDirectory(p, 1));
  char cwd[4096], now[4096];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd));
  snprintf(p, sizeof p, "%s", dir.c_str());
  EXPECT_TRUE(IsDirectory(p, 0));
  ASSERT_TRUE(getcwd(now, sizeof now));
  EXPECT_STREQ(now, cwd);
  EXPECT_TRUE(IsDirectory(p, 1));
  ASSERT_TRUE(getcwd(now, sizeof now));
  EXPECT_EQ(std::string(now), dir);
  ASSERT_EQ(chdir(cwd), 0);
}

TEST(Paths, GetFilePieces) {
  std::string dir = TestTempDir();
  std::string file = dir + "/clip.tar.gz";
  TestWriteFile(file, "x", 1);
  struct Case {
    std::string path;
    int drive, d, n, e;
    std::string want;
  } cases[] = {
      {file, 0, 1, 0, 0, dir + "/"},
      {file, 0, 0, 1, 0, "clip.tar"},
      {file, 0, 0, 0, 1, ".gz"},
      {file, 1, 1, 1, 1, file},
      {file, 1, 0, 0, 0, ""},
      {dir, 0, 1, 1, 1, dir + "/"},
      {dir + "/", 0, 0, 1, 1, ""},
  };
  for (const Case& c : cases) {
    char buf[KOR_PATH_SIZE];
    snprintf(buf, sizeof buf, "%s", c.path.c_str());
    ASSERT_EQ(GetFilePieces(buf, c.drive, c.d, c.n, c.e), buf) << c.path;
    EXPECT_EQ(std::string(buf), c.want) << c.path << c.drive << c.d << c.n << c.e;
  }
}

TEST(Paths, GetTempName) {
  char dst[KOR_NAME_SIZE];
  EXPECT_STREQ(GetTempName(dst, "/tmp", "KO", 0x12345678), "/tmp/KOGFEDCB.AAA");
  EXPECT_STREQ(GetTempName(dst, "/tmp/", nullptr, 0), "/tmp/AAAAAAAA.AAA");
  EXPECT_STREQ(GetTempName(dst, "", "LONGPREFIX", 0xF), "LONGPREF.AAA");
  std::string lng(120, 'd');
  EXPECT_EQ(GetTempName(dst, lng.c_str(), "x", 1), nullptr);
  EXPECT_STREQ(dst, "");
}

static int g_asked;
static std::string g_question;
static int g_answer;
static int Answer(const char* q) {
  g_asked++;
  g_question = q;
  return g_answer;
}

TEST(Paths, CheckForDup) {
  std::string dir = TestTempDir();
  std::string in = dir + "/in.avi";
  TestWriteFile(in, "x", 1);
  ASSERT_EQ(symlink(in.c_str(), (dir + "/link.avi").c_str()), 0);
  struct Case {
    std::string out;
    int ok;
  } cases[] = {{dir + "/./in.avi", 0}, {dir + "/link.avi", 0}, {dir + "/IN.avi", 1}, {dir + "/out.avi", 1}};
  for (const Case& c : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(CheckForDup(in.c_str(), c.out.c_str()), c.ok) << c.out;
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, c.ok ? "" : "Output filename must be different than the input filename.\n");
  }
}

TEST(Paths, Overwrite) {
  std::string dir = TestTempDir();
  std::string name = dir + "/out.avi";
  PlatAskHook old = PlatAskTerminalSetHook(Answer);
  g_asked = 0;
  EXPECT_EQ(overwrite(name.c_str(), 0), 1);  // missing: no question
  EXPECT_EQ(g_asked, 0);
  TestWriteFile(name, "x", 1);
  for (int dialog : {0, 1})
    for (int yes : {0, 1}) {
      g_answer = yes;
      EXPECT_EQ(overwrite(name.c_str(), dialog), yes);
      EXPECT_EQ(g_question, "File " + name + " exists, overwrite?");
    }
  PlatAskTerminalSetHook(old);

  // With no terminal the answer is No, so a script never blocks.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setsid();
    _exit(overwrite(name.c_str(), 0) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(CopyData, WritesOneRecord) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  EXPECT_EQ(CopyData(fds[1], 0, 0x1234, 5, "hello"), 1);
  EXPECT_EQ(CopyData(fds[1], 0, 7, 0, nullptr), 1);
  unsigned char got[21];
  ASSERT_EQ(read(fds[0], got, sizeof got), (ssize_t)sizeof got);
  const unsigned char want[21] = {0x34, 0x12, 0, 0, 5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o',
                                  7,    0,    0, 0, 0, 0, 0, 0};
  EXPECT_EQ(memcmp(got, want, sizeof want), 0);
  EXPECT_EQ(CopyData(-1, 0, 1, 1, "x"), 0);
  EXPECT_EQ(CopyData(fds[1], 0, 1, -1, "x"), 0);
  // A receiver that has gone: a failure, not a SIGPIPE.
  close(fds[0]);
  EXPECT_EQ(CopyData(fds[1], 0, 1, 1, "x"), 0);
  close(fds[1]);
}
