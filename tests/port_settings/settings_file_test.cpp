// The port settings file on a real directory.
#include "port_settings/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace orvik::port_settings {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Runs each test in a fresh working directory, since the file is found by a relative name.
class SettingsFile : public ::testing::Test {
 protected:
  SettingsFile() : home_(fs::current_path()) {
    dir_ = fs::temp_directory_path() / ("orvik-settings-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  ~SettingsFile() override {
    fs::current_path(home_);
    fs::remove_all(dir_);
  }
  void write(const Bytes& bytes) {
    std::ofstream out(kSettingsFile, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  Bytes contents() {
    std::ifstream in(kSettingsFile, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  platform::LocalFiles files;
  fs::path home_;
  fs::path dir_;
};

TEST_F(SettingsFile, ReadsThePortNumberOfTheFirstRecord) {
  struct Row {
    Bytes bytes;
    int port;
  };
  const std::vector<Row> rows = {{{3, 0}, 3}, {{1, 0}, 1}, {{4, 0, 9, 9}, 4}, {{5, 0}, 0}, {{0xFF, 0xFF}, 0},
                                 {{0, 0}, 0}, {{2}, 0},    {{}, 0},           {{0, 1}, 0}};
  for (const auto& row : rows) {
    write(row.bytes);
    EXPECT_EQ(readPortNumber(files), row.port) << ::testing::PrintToString(row.bytes);
    EXPECT_EQ(contents(), row.bytes) << "reading changes nothing";
  }
}

TEST_F(SettingsFile, AMissingFileIsCreatedEmptyByTheRead) {
  EXPECT_EQ(readPortNumber(files), 0);
  EXPECT_TRUE(fs::exists(kSettingsFile));
  EXPECT_EQ(fs::file_size(kSettingsFile), 0u);
}

TEST_F(SettingsFile, WritingChangesOnlyTheFirstTwoBytes) {
  write({2, 0, 9, 9});
  EXPECT_TRUE(writePortNumber(files, 4));
  EXPECT_EQ(contents(), (Bytes{4, 0, 9, 9}));
  fs::remove(kSettingsFile);
  EXPECT_TRUE(writePortNumber(files, 3));
  EXPECT_EQ(contents(), (Bytes{3, 0})) << "a new file is exactly one record long";
}

TEST_F(SettingsFile, AFileThatIsNotAFileReadsAsNoPortAndCannotBeWritten) {
  fs::create_directory(kSettingsFile);
  EXPECT_EQ(readPortNumber(files), 0);
  EXPECT_FALSE(writePortNumber(files, 2));
  fs::remove(kSettingsFile);
  ASSERT_EQ(::mkfifo(kSettingsFile, 0600), 0);  // opens, but cannot be read from the start
  EXPECT_EQ(readPortNumber(files), 0);
}

}  // namespace
}  // namespace orvik::port_settings
