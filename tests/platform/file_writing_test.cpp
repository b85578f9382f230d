// The one writing path both programs share, on the real file system: what each kind of name gets, and
// how a log and standard output behave when their reader is slow or goes away.
#include "platform/file_writing.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>

#include "platform/file_start.h"
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
                      KindCase{"Folder", [](const fs::path& f) { return f.string(); }, {"it is a folder"}},
                      KindCase{"Socket",
                               [](const fs::path& f) {
                                 sockaddr_un address{};
                                 address.sun_family = AF_UNIX;
                                 std::strncpy(address.sun_path, (f / "socket").c_str(),
                                              sizeof address.sun_path - 1);
                                 const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
                                 ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
                                 ::close(s);
                                 return (f / "socket").string();
                               },
                               {"it is a socket, not a file"}}),
    [](const ::testing::TestParamInfo<KindCase>& row) { return std::string(row.param.kind); });

// A log on a pipe a logger reads: what the pipe does not take at once is dropped and counted by the
// caller, the log goes on once the reader catches up, and ends with the reason when the reader goes,
// without SIGPIPE (ignored, as both programs do) ending the program.
TEST(LineFile, GivesAPipeWhatItTakesAndEndsWhenItsReaderGoes) {
  std::signal(SIGPIPE, SIG_IGN);
  testing::TempFolder temp;
  const std::string pipe = temp.path() + "/pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string problem;
  EXPECT_EQ(ReadFileStart(pipe, 100, &problem), std::nullopt) << "read without waiting for a writer";
  EXPECT_EQ(problem, "it is a named pipe, not a file");
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  LineFile log;
  ASSERT_EQ(log.open(pipe, "header\n"), "");
  const std::string line(100, 'x');
  int written = 0;
  Sent sent = Sent::Written;
  for (; sent == Sent::Written; ++written)
    sent = log.write(line + '\n');
  EXPECT_EQ(sent, Sent::Dropped);
  EXPECT_GT(written, 100) << "a pipe's worth before the first drop";
  EXPECT_TRUE(log.isOpen());
  char buffer[4096];
  while (::read(reader, buffer, sizeof buffer) > 0) {
  }
  EXPECT_EQ(log.write("z\n"), Sent::Written);
  ::close(reader);
  EXPECT_EQ(log.write("z\n"), Sent::Failed);
  EXPECT_EQ(log.problem(), "the program reading it has closed it");
  EXPECT_FALSE(log.isOpen());
}

// orvikctl's standard output on a pipe nobody reads: a termination signal ends the wait, what was not
// taken is said to be dropped; a reader that has gone is a failure with its reason.
TEST(OutputBuffer, GivesUpAtAStopAndFailsWhenItsReaderGoes) {
  std::signal(SIGPIPE, SIG_IGN);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
  while (::write(ends[1], "x", 1) == 1) {
  }
  ::fcntl(ends[1], F_SETFL, 0);  // full, and blocking as a shell's pipe is
  int looks = 0;
  OutputBuffer full(ends[1], [&looks] { return ++looks > 1; });
  std::ostream out(&full);
  out << std::string(10000, 'x') << std::flush;
  EXPECT_TRUE(out.good());
  EXPECT_TRUE(full.droppedAtStop());

  ::close(ends[0]);
  OutputBuffer closed(ends[1], [] { return false; });
  std::ostream lost(&closed);
  lost << "reading\n" << std::flush;
  EXPECT_TRUE(lost.bad());
  EXPECT_EQ(closed.problem(), "the program reading it has closed it");
  ::close(ends[1]);
}

}  // namespace
}  // namespace orvik::platform
