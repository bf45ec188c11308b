#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/local_file.h"
#include "web/internet.h"

namespace velbrook::test_support {

// What every download test needs: a folder of its own, removed with all in it afterwards, and the
// check that the test closed every Internet handle and every output file it opened. A fixture
// that overrides SetUp or TearDown calls these first and last respectively.
class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velbrook-download-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    handles_ = inet::OpenHandleCount();
    files_ = OpenFileCount();
  }

  void TearDown() override {
    EXPECT_EQ(inet::OpenHandleCount(), handles_) << "every Internet handle is closed";
    EXPECT_EQ(OpenFileCount(), files_) << "every output file is closed";
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  }

  std::string Path(const std::string& name) const { return directory_ + "/" + name; }

  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  static void Write(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
  }

  std::string directory_;
  std::size_t handles_ = 0;
  std::size_t files_ = 0;
};

}  // namespace velbrook::test_support
