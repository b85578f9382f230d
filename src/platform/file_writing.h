#pragma once

#include <cstdint>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

namespace orvik::platform {

// Every file both programs write (saves, exports, backups, reports, logs) goes through here, so that no
// write can wait on a pipe or a device, a failed write is never taken for success, and a failed save
// leaves no half file:
//  - a regular file, or a name not taken yet, is written beside itself ("FILE.partial") and renamed over
//    the old file once whole, so a failed write leaves the old file whole and no new one;
//  - through a symbolic link, the file the link names is written (created when missing); the link stays;
//  - a character device or a named pipe that a program reads is written straight and never waited on;
//  - a folder, a socket, a block device, a named pipe no program reads and a loop of links are refused.
// Problems are said for a person: what the name is ("it is a folder") or the system's reason.

// Why `path` names no file to read or write as a file: "it is a folder", "it is a named pipe, not a
// file", ... Empty for a regular file and for a name not taken.
std::string NotAFile(const std::string& path);

// A file written whole: opened first, so that a name that cannot be written is found before its content
// is made, then given its content and put in place. One not finished is removed.
class WholeFileWrite {
 public:
  WholeFileWrite() = default;
  ~WholeFileWrite();
  WholeFileWrite(const WholeFileWrite&) = delete;
  WholeFileWrite& operator=(const WholeFileWrite&) = delete;

  // Empty when `path` can be written, else why not.
  std::string open(const std::string& path);
  // Writes `bytes` and puts the file in place: empty when done, else why not. A pipe or device must take
  // them at once.
  std::string finish(std::string_view bytes);

 private:
  friend class LineFile;
  std::string putInPlace();

  int fd_ = -1;
  bool replacing_ = false;  // written beside the file, renamed over it by putInPlace
  std::string partial_;
  std::string target_;
};

// WholeFileWrite's open and finish in one.
std::string WriteFileWhole(const std::string& path, std::string_view bytes);

// What became of a line given to a LineFile.
enum class Sent {
  Written,
  Dropped,  // a pipe or device did not take it at once; the file stays open
  Failed,   // the file could not be written on (problem() says why) and is closed
};

// A file written a line at a time, as a log: each line is handed to the system whole in one write and
// never waited on, so a log ended at any moment (even killed) holds only whole lines.
class LineFile {
 public:
  LineFile() = default;
  ~LineFile();
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;

  // Starts the log at `path` with the line `first` (a header): a regular file takes the old one's place
  // only once `first` is in it. Empty when started, else why not.
  std::string open(const std::string& path, std::string_view first);
  // Writes to a descriptor the program already has (standard output), which stays open after close().
  void attach(int descriptor);
  Sent write(std::string_view line);
  bool isOpen() const { return fd_ >= 0; }
  const std::string& problem() const { return problem_; }
  void close();

 private:
  int fd_ = -1;
  bool owned_ = false;
  bool waitsNever_ = false;  // opened here without blocking; an attached descriptor is polled first
  bool cutBack_ = false;     // a regular file of ours: a line that failed part-way is cut off again
  std::uintmax_t complete_ = 0;
  std::string problem_;
};

// Standard output for a program that must end on a signal whatever it is waiting on: text goes to the
// descriptor in pieces it takes without blocking, and while it takes none the wait ends as soon as
// `stopped` says so (what was not written is then dropped, and droppedAtStop() says so). A write that
// fails makes the stream fail, and problem() says why.
class OutputBuffer final : public std::streambuf {
 public:
  OutputBuffer(int descriptor, std::function<bool()> stopped);
  const std::string& problem() const { return problem_; }
  bool droppedAtStop() const { return droppedAtStop_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  bool drain();

  int fd_;
  std::function<bool()> stopped_;
  std::string pending_;
  std::string problem_;
  bool droppedAtStop_ = false;
};

}  // namespace orvik::platform
