// The one writing path both programs share, on the real file system: what each kind of name gets.
#include "platform/file_writing.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>

#include "support/temp_folder.h"

namespace orvik::platform {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

struct KindCase {
  const char* kind;
  // Makes the name in `folder` and gives the path a save is asked to write.
  std::function<std::string(const fs::path& folder)> make;
  std::vector<std::string> told;  // one of these; none when it is written
  const char* lands = "";         // where the content is found when written, in the folder
  rlim_t sizeLimit = RLIM_INFINITY;
};

void PrintTo(const KindCase& c, std::ostream* os) {
  *os << c.kind;
}

const auto kOld = [](const fs::path& folder) {
  std::ofstream(folder / "log.csv") << "old\n";
  return (folder / "log.csv").string();
};

class FileKinds : public ::testing::TestWithParam<KindCase> {};

// Both writers, the whole save and the log, give each name the same answer and leave no half file.
TEST_P(FileKinds, AreWrittenOrRefusedWithTheirReason) {
  const KindCase& c = GetParam();
  std::signal(SIGXFSZ, SIG_IGN);  // a write past the size limit fails instead of ending the test
  for (int writer = 0; writer < 2; ++writer) {
    testing::TempFolder temp;
    const fs::path folder = temp.path();
    const std::string path = c.make(folder);
    const auto type = fs::symlink_status(path).type();
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit limit = before;
    limit.rlim_cur = c.sizeLimit;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    LineFile log;
    const std::string problem =
        writer == 0 ? WriteFileWhole(path, "time,link\n") : log.open(path, "time,link\n");
    ::setrlimit(RLIMIT_FSIZE, &before);
    log.close();
    if (c.told.empty()) {
      EXPECT_EQ(problem, "") << writer;
      EXPECT_EQ(contents(folder / c.lands), "time,link\n") << writer;
    } else {
      EXPECT_NE(std::find(c.told.begin(), c.told.end(), problem), c.told.end()) << writer << ": " << problem;
    }
    EXPECT_EQ(fs::symlink_status(path).type(), type) << "a link, pipe or device keeps its place";
    if (!c.told.empty() && type == fs::file_type::regular) {
      EXPECT_EQ(contents(path), "old\n") << "the old file is left whole";
    }
    for (const auto& entry : fs::directory_iterator(folder))
      EXPECT_NE(entry.path().extension(), ".partial") << "no half file is left";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileKinds,
    ::testing::Values(KindCase{"RegularFile", kOld, {}, "log.csv"},
                      KindCase{"RegularFileOnAFullDisk", kOld, {std::strerror(EFBIG)}, "", 4},
                      KindCase{"MissingFolder",
                               [](const fs::path& f) { return (f / "none" / "log.csv").string(); },
                               {std::strerror(ENOENT)}},
                      // Root may write any folder: then one on a file system nobody may add to.
                      KindCase{"ReadOnlyFolder",
                               [](const fs::path& f) {
                                 fs::create_directory(f / "ro");
                                 fs::permissions(f / "ro", fs::perms::owner_read | fs::perms::owner_exec);
                                 return ::geteuid() == 0 ? std::string("/sys/orvik-test.csv")
                                                         : (f / "ro" / "log.csv").string();
                               },
                               {std::strerror(EACCES), std::strerror(EROFS)}},
                      KindCase{"FullDevice",
                               [](const fs::path&) { return std::string("/dev/full"); },
                               {std::strerror(ENOSPC)}},
                      KindCase{"PipeWithoutReader",
                               [](const fs::path& f) {
                                 ::mkfifo((f / "pipe").c_str(), 0600);
                                 return (f / "pipe").string();
                               },
                               {"it is a named pipe that no program is reading"}},
                      KindCase{"DanglingLink",
                               [](const fs::path& f) {
                                 fs::create_directory(f / "kept");
                                 fs::create_symlink("kept/log.csv", f / "latest.csv");
                                 return (f / "latest.csv").string();
                               },
                               {},
                               "kept/log.csv"},
                      KindCase{"LinkLoop",
                               [](const fs::path& f) {
                                 fs::create_symlink("b.csv", f / "a.csv");
                                 fs::create_symlink("a.csv", f / "b.csv");
                                 return (f / "a.csv").string();
                               },
                               {"its symbolic links form a loop"}},
                      KindCase{"Folder", [](const fs::path& f) { return f.string(); }, {"it is a folder"}}),
    [](const ::testing::TestParamInfo<KindCase>& row) { return std::string(row.param.kind); });

}  // namespace
}  // namespace orvik::platform
