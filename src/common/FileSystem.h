// The few operations that touch the disk, behind one interface so tests can make them fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tidemill {

class InputFile {
 public:
  virtual ~InputFile() = default;
  // Reads up to size bytes; fewer only at the end of the file. Raises a file error.
  virtual std::size_t Read(void* data, std::size_t size) = 0;
  virtual uint64_t Size() = 0;
  // Whether ReadAt works: a regular file, not a pipe.
  virtual bool Positional() const { return false; }
  // Reads up to size bytes from offset, leaving Read's position where it is; fewer only at the
  // end of the file. Safe on several threads at once. Raises a file error; error 52 where
  // Positional is false.
  virtual std::size_t ReadAt(uint64_t offset, void* data, std::size_t size);
};

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Writes all bytes or raises a file error (disk full, device error).
  virtual void Write(const void* data, std::size_t size) = 0;
  // Makes the contents durable and closes the file; raises a file error.
  virtual void Close() = 0;
};

// What tells one file from another whatever names lead to it: device and inode on POSIX, volume
// serial number and file index on Windows. A file that does not exist yet is told by the
// directory it would be made in and its name there.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  std::string name;       // empty for a file that exists
  bool straight = false;  // written straight rather than replaced (FileSystem::OpenStraight)

  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index && name == other.name;
  }
};

// Held until destroyed: see FileSystem::LockDirectoryOf.
class DirectoryLock {
 public:
  virtual ~DirectoryLock() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens a file for reading as `cat` does: a named pipe waits for its writer. A directory is
  // error 75, a missing file 53.
  virtual std::unique_ptr<InputFile> OpenRead(const std::string& path) = 0;
  // The file that path finally names: the symbolic links at its end followed, so that writing it
  // leaves the links in place. A link to a missing file gives that file; a path that is no link,
  // the path itself.
  virtual std::string FinalTarget(const std::string& path) = 0;
  // Creates a new, empty file beside target (same directory) and gives its path. When target
  // exists, the new file has its mode bits and, where the process may set them, its owner and
  // group, so that renaming it over target changes the contents alone.
  virtual std::unique_ptr<OutputFile> CreateTemporary(const std::string& target, std::string& temporaryPath) = 0;
  // Opens path for writing as it stands when it is to be written straight, as a shell redirection
  // writes it: it exists and is no regular file or directory (a device, a named pipe, a terminal,
  // a socket), or it names an open file of the process (standard output). Nothing otherwise: the
  // file is replaced.
  virtual std::unique_ptr<OutputFile> OpenStraight(const std::string& path) = 0;
  // The identity of the file that path finally names, of the place it would be made in when it
  // does not exist, or nothing when not even its directory exists.
  virtual std::optional<FileIdentity> Identify(const std::string& path) = 0;
  // Renames from over to, replacing an existing file.
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  // Removes a file; false when there was none or it could not be removed.
  virtual bool Remove(const std::string& path) = 0;
  // The size of a regular file, or nothing when there is no such file.
  virtual std::optional<uint64_t> FileSize(const std::string& path) = 0;
  virtual std::string CurrentDirectory() = 0;
  // Locks the directory holding the final target of path against the same lock of other runs,
  // shared or exclusive, for files that are read or replaced together (a QX-XML file and its side
  // file). Nothing when the directory cannot be opened, and in a file system that no other run
  // shares.
  virtual std::unique_ptr<DirectoryLock> LockDirectoryOf(const std::string&, bool) { return nullptr; }
};

// The file system in use: the real one unless a test has put another in place.
FileSystem& Fs();
// The platform's own file system; each platform defines it in its own source.
FileSystem& RealFileSystem();

// Puts a file system in place for the life of this object.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& fs);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

// The whole contents of a file. Raises a file error.
std::string ReadWholeFile(const std::string& path);

// Whether two paths name one file (FileSystem::Identify), existing or to be made.
bool SameFile(const std::string& a, const std::string& b);

// Whether writing path goes straight into it (FileSystem::OpenStraight) rather than replacing it.
bool WritesStraight(const std::string& path);

// An output file that appears at its target completely or not at all: written to a temporary
// file beside the target, renamed over it by Commit. Without Commit the temporary file is
// removed and the target is untouched. A target that is a symbolic link is written through it:
// the file it finally names is replaced, the link stays. A target that is written straight (a
// device, a pipe, standard output) takes the bytes as they come; Commit closes it.
class AtomicFile {
 public:
  explicit AtomicFile(const std::string& target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void Write(const void* data, std::size_t size);
  void Write(std::string_view data) { Write(data.data(), data.size()); }
  // Closes the temporary file, making it durable, without touching the target yet; lets a
  // caller prepare several files before it replaces any.
  void Close();
  // Closes the temporary file (unless Close did) and renames it over the target.
  void Commit();
  // Closes and removes the temporary file; the target is untouched.
  void Discard() noexcept;
  // The file replaced: the final target of the name given; the name itself when written straight.
  const std::string& Target() const { return target_; }
  bool Straight() const { return straight_; }

 private:
  std::string target_;
  bool straight_ = false;
  std::string temporary_;
  std::unique_ptr<OutputFile> file_;
  bool finished_ = false;  // committed or discarded
};

// Writes data to path completely or not at all.
void WriteFileAtomically(const std::string& path, std::string_view data);

}  // namespace tidemill
