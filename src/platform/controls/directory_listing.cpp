#include "platform/controls/directory_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <functional>
#include <memory>

#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

unsigned char foldAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// Calls `visit` with each visible entry of `directory` and the type of what
// it leads to, links followed. Entries that vanish or cannot be examined
// while the directory is read are skipped, as are dangling links.
void forEachEntry(const std::string& directory,
                  const std::function<void(const char*, mode_t)>& visit) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(directory.c_str()));
  if (!dir) throw errorFromErrno(errno, directory, PathRole::Directory);
  const int fd = ::dirfd(dir.get());
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (!entry) {
      if (errno != 0) throw errorFromErrno(errno, directory, PathRole::Directory);
      return;
    }
    if (entry->d_name[0] == '.') continue;
    mode_t type = 0;
    switch (entry->d_type) {
      case DT_REG:
        type = S_IFREG;
        break;
      case DT_DIR:
        type = S_IFDIR;
        break;
      case DT_LNK:
      case DT_UNKNOWN: {
        struct stat status;
        if (::fstatat(fd, entry->d_name, &status, 0) != 0) continue;
        type = status.st_mode & S_IFMT;
        break;
      }
      default:
        continue;
    }
    visit(entry->d_name, type);
  }
}

void sortForList(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(), listOrderLess);
}

}  // namespace

bool listOrderLess(const std::string& a, const std::string& b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const unsigned char x = foldAscii(static_cast<unsigned char>(a[i]));
    const unsigned char y = foldAscii(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string currentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) throw errorFromErrno(errno, ".", PathRole::Directory);
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::vector<std::string> listFiles(const std::string& directory, const FilePattern& pattern) {
  std::vector<std::string> names;
  forEachEntry(directory, [&](const char* name, mode_t type) {
    if (type != S_IFREG) return;
    std::string entry(name);
    if (pattern.matches(entry)) names.push_back(std::move(entry));
  });
  sortForList(names);
  return names;
}

std::vector<std::string> listSubdirectories(const std::string& directory) {
  std::vector<std::string> names;
  forEachEntry(directory, [&](const char* name, mode_t type) {
    if (type == S_IFDIR) names.emplace_back(name);
  });
  sortForList(names);
  return names;
}

}  // namespace kavo
