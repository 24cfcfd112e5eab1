// A small disk for the tests of what a full one does: a 64 KiB tmpfs over an
// empty directory, which a filler file fills to within a chosen room.
// Mounting needs root; without it IsMounted is false and the test skips.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

class SmallDisk {
 public:
  explicit SmallDisk(const std::string& directory)
      : m_directory(directory),
        m_mounted(mount("tmpfs", directory.c_str(), "tmpfs", 0, "size=64k") == 0) {}
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  ~SmallDisk() {
    if (m_mounted) umount2(m_directory.c_str(), MNT_DETACH);
  }

  bool IsMounted() const { return m_mounted; }
  static const char* SkipReason() { return "cannot mount a small tmpfs (needs root)"; }

  // Writes the file "filler" until the disk is full, then gives back about
  // room bytes (whole pages); false when the disk never filled.
  bool Fill(size_t room) {
    std::string path = m_directory + "/filler";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) return false;
    std::vector<char> block(4096, 'f');
    off_t size = 0;
    for (;;) {
      ssize_t n = write(fd, block.data(), block.size());
      if (n <= 0) break;
      size += n;
    }
    bool full = errno == ENOSPC;
    off_t kept = size > static_cast<off_t>(room) ? size - static_cast<off_t>(room) : 0;
    bool shrunk = ftruncate(fd, kept) == 0;
    close(fd);
    return full && shrunk;
  }

 private:
  std::string m_directory;
  bool m_mounted;
};
