#include "base/local_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "base/code_page.h"

namespace velbrook {
namespace {

class LocalFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velbrook-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { (void)std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string dir_;
};

TEST_F(LocalFileTest, CreateTruncatesAndOpenKeepsContents) {
  std::string path = dir_ + "/a.bin";
  FileHandle f = CreateOrTruncateFile(path);
  ASSERT_NE(f, 0);
  EXPECT_TRUE(WriteFile(f, "hello\r\n", 7));
  CloseFile(f);
  EXPECT_EQ(Read(path), "hello\r\n");

  FileHandle g = OpenOrCreateFile(path);
  ASSERT_NE(g, 0);
  SeekFileToEnd(g);
  EXPECT_TRUE(WriteFile(g, "!", 1));
  CloseFile(g);
  EXPECT_EQ(Read(path), "hello\r\n!");

  FileHandle h = OpenOrCreateFile(path);  // write position at the start
  EXPECT_TRUE(WriteFile(h, "J", 1));
  CloseFile(h);
  EXPECT_EQ(Read(path), "Jello\r\n!");

  CloseFile(CreateOrTruncateFile(path));
  EXPECT_EQ(Read(path), "");
}

TEST_F(LocalFileTest, ZeroAndClosedHandlesDoNothing) {
  EXPECT_EQ(CreateOrTruncateFile(""), 0);
  EXPECT_EQ(CreateOrTruncateFile(dir_ + "/missing/dir/x"), 0);
  EXPECT_FALSE(WriteFile(0, "x", 1));
  SeekFileToEnd(0);
  CloseFile(0);

  std::size_t before = OpenFileCount();
  FileHandle f = CreateOrTruncateFile(dir_ + "/b");
  CloseFile(f);
  EXPECT_FALSE(WriteFile(f, "x", 1));
  CloseFile(f);
  // A stale handle must not reach the file opened after it, even if the system reuses descriptors.
  FileHandle g = CreateOrTruncateFile(dir_ + "/c");
  EXPECT_NE(g, f);
  CloseFile(f);
  EXPECT_TRUE(WriteFile(g, "ok", 2));
  CloseFile(g);
  EXPECT_EQ(Read(dir_ + "/c"), "ok");
  EXPECT_EQ(OpenFileCount(), before);
}

TEST_F(LocalFileTest, ExistsAndNonAsciiPaths) {
  Text name = Utf8ToText("\xE6\xAD\x8C\xF0\x9F\x98\x80.mp3");  // 歌 and an emoji
  Text path = dir_ + "/" + name;
  EXPECT_FALSE(PathExists(path));
  CloseFile(CreateOrTruncateFile(path));
  EXPECT_TRUE(PathExists(path));
  struct stat info {};
  EXPECT_EQ(::stat((dir_ + "/" + TextToUtf8(name)).c_str(), &info), 0);  // stored under its UTF-8 name
  EXPECT_TRUE(PathExists(dir_));
  EXPECT_FALSE(PathExists(dir_ + "/*"));
  EXPECT_FALSE(PathExists(""));
}

}  // namespace
}  // namespace velbrook
