#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kavo {

// A file opened for writing. Every call either succeeds or throws RunTimeError
// naming the file and the operating system's reason.
class WritableFile {
 public:
  virtual ~WritableFile() = default;

  // Writes the bytes as they are, adding no line end.
  virtual void print(std::string_view bytes) = 0;

  // Closes the file; a failure to close is reported like any other. A file
  // destroyed without close() is closed quietly (the error path).
  virtual void close() = 0;
};

// Makes what was written to one volume durable. Opened before the writes it
// is to cover, so that it also reports write-back failures that happened
// after it was opened and before sync() is called.
class VolumeSync {
 public:
  virtual ~VolumeSync() = default;
  virtual void sync() = 0;
};

// The file services the export relies on from its host, one small virtual
// per service. Paths are byte strings with "/" as separator. Every failure
// throws RunTimeError.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Creates the file, or truncates an existing one, for writing.
  virtual std::unique_ptr<WritableFile> openForOutput(const std::string& path) = 0;
  // Opens an existing file to write after its end.
  virtual std::unique_ptr<WritableFile> openForAppend(const std::string& path) = 0;

  // The length in bytes of a closed file.
  virtual std::uint64_t fileLength(const std::string& path) = 0;

  // Creates one directory; fails when it exists or its parent does not.
  virtual void makeDirectory(const std::string& path) = 0;

  // Copies the bytes of a regular file to a new path, replacing a file there.
  // A source that is not a regular file (a FIFO, a device, a directory) is
  // refused without being read.
  virtual void copyFile(const std::string& from, const std::string& to) = 0;

  // Fails unless the path names an existing directory.
  virtual void requireDirectory(const std::string& path) = 0;

  // Whether anything, even a dangling link, stands at the path.
  virtual bool exists(const std::string& path) = 0;

  // Starts watching the volume that holds the directory (see VolumeSync).
  virtual std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) = 0;
};

}  // namespace kavo
