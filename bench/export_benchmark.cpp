// Times simplekavo-export on many ROM-sized files against `cp -r` of the
// same files followed by `sync`, in the same run and on the same disk, and
// reports the program's peak resident memory.
//
//   export_benchmark --dir DIR --program PATH [--rounds N] [--small N]
//                    [--large N] [--baseline PATH] [--compare-sync | --memory]
//
// --baseline times another build of simplekavo-export in the same rounds,
// so that a change is measured against the program before it.
// --compare-sync times two exports in this process instead, made durable in
// two ways: fdatasync of every file (and fsync of every directory) against
// one syncfs of each volume.
// --memory runs the program once on each of 500, 5,000 and 50,000 files of
// 1 KiB and reports its peak resident memory for each count.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "export/rom_set_export.h"
#include "platform/services/forwarding_file_system.h"
#include "platform/services/posix_file_system.h"
#include "median.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
  std::string dir = "bench-data";
  std::string program;
  std::string baseline;
  int rounds = 3;
  int small = 5000;
  int large = 100;
  bool compareSync = false;
  bool memory = false;
};

struct Run {
  double seconds;
  long peakKiB;  // the child's peak resident set
};

// Runs a program to its end and measures it; a failure ends the benchmark.
Run runProgram(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  auto start = Clock::now();
  // posix_spawn starts the child in this process's memory until it execs,
  // and Linux then counts this process's peak resident set into the child's.
  // Resetting that peak to the current size keeps the benchmark's own
  // earlier peaks (the generated files' buffers) out of the figure.
  std::ofstream("/proc/self/clear_refs") << "5";
  // The program's summary would only interleave with the report.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    std::fprintf(stderr, "%s: %s\n", argv[0], std::strerror(spawned));
    std::exit(1);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed: %s\n", argv[0]);
    std::exit(1);
  }
  return {std::chrono::duration<double>(Clock::now() - start).count(), usage.ru_maxrss};
}

void run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

// Files with content that neither compresses to nothing nor is sparse.
void writeRom(const std::string& path, std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<char>(state >> 24);
  }
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

std::vector<std::string> prepareSource(const Options& options, const std::string& source) {
  std::vector<std::string> names;
  for (int i = 0; i < options.small; ++i) names.push_back("Game " + std::to_string(i) + ".sms");
  for (int i = 0; i < options.large; ++i) names.push_back("Big " + std::to_string(i) + ".gg");
  std::string marker = source + "/.complete-" + std::to_string(options.small) + "-" +
                       std::to_string(options.large);
  if (fs::exists(marker)) return names;
  fs::remove_all(source);
  fs::create_directories(source);
  std::fprintf(stderr, "generating %d × 64 KiB and %d × 4 MiB in %s\n", options.small,
               options.large, source.c_str());
  for (int i = 0; i < options.small; ++i)
    writeRom(source + "/" + names[i], 64 * 1024, i);
  for (int i = 0; i < options.large; ++i)
    writeRom(source + "/" + names[options.small + i], 4 * 1024 * 1024, 100000 + i);
  std::ofstream(marker).put('\n');
  run("sync");
  return names;
}

// `count` files of `size` bytes named "Game <i>.sms", made once and kept.
void prepareFlat(const std::string& source, int count, std::size_t size) {
  std::string marker = source + "/.complete";
  if (fs::exists(marker)) return;
  fs::remove_all(source);
  fs::create_directories(source);
  std::fprintf(stderr, "generating %d × %zu bytes in %s\n", count, size, source.c_str());
  for (int i = 0; i < count; ++i)
    writeRom(source + "/Game " + std::to_string(i) + ".sms", size, i);
  std::ofstream(marker).put('\n');
  run("sync");
}

double seconds(const std::function<void()>& work) {
  auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Removes what the previous round wrote and flushes, so that no round pays
// for another's write-back.
void clear(const std::string& path) {
  fs::remove_all(path);
  run("sync");
}

// Peak resident memory of the program as the number of files grows.
// This process's resident set in KiB: the floor under any child's figure.
long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

void measureMemory(const Options& options, const std::string& dir) {
  const std::string out = dir + "/memory-export";
  std::printf("resident set of this benchmark when it starts the program: %ld KiB\n",
              residentKiB());
  std::printf("%10s %14s %10s\n", "files", "peak RSS KiB", "seconds");
  for (int count : {500, 5000, 50000}) {
    const std::string source = dir + "/flat-" + std::to_string(count);
    prepareFlat(source, count, 1024);
    clear(out);
    fs::create_directories(out);
    Run r = runProgram({options.program, "--quiet", source, out});
    std::printf("%10d %14ld %10.2f\n", count, r.peakKiB, r.seconds);
  }
  clear(out);
}

void syncPath(const std::string& path, bool dataOnly) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || (dataOnly ? ::fdatasync(fd) : ::fsync(fd)) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
  ::close(fd);
}

// The other way of making an export durable: fdatasync every copy as it is
// made, then the index and every directory that gained an entry, instead of
// one syncfs per volume.
class PerFileSync final : public kavo::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;

  std::unique_ptr<kavo::WritableFile> createNew(const std::string& path) override {
    written_.push_back(path);
    return target_.createNew(path);
  }
  void rename(const std::string& from, const std::string& to) override {
    target_.rename(from, to);
    std::replace(written_.begin(), written_.end(), from, to);
  }
  void makeDirectory(const std::string& path) override {
    target_.makeDirectory(path);
    directories_.push_back(path);
  }
  void copyInto(const std::string& from, const kavo::OpenDirectory& into,
                const std::string& name) override {
    target_.copyInto(from, into, name);
    syncPath(into.path() + "/" + name, true);
  }
  std::unique_ptr<kavo::VolumeSync> watchVolume(const std::string& directory) override {
    struct Sync final : kavo::VolumeSync {
      PerFileSync& owner;
      std::string directory;
      Sync(PerFileSync& o, std::string d) : owner(o), directory(std::move(d)) {}
      void sync() override {
        for (const std::string& file : owner.written_) syncPath(file, true);
        for (const std::string& made : owner.directories_) syncPath(made, false);
        owner.written_.clear();
        owner.directories_.clear();
        syncPath(directory, false);
      }
    };
    return std::make_unique<Sync>(*this, directory);
  }

 private:
  std::vector<std::string> written_;
  std::vector<std::string> directories_;
};

void exportAll(kavo::FileSystem& files, const std::string& source,
               const std::string& destination, const std::vector<std::string>& names) {
  kavo::exportRomSet(kavo::ExportRequest{destination, source, names,
                                          kavo::proposedIndexPath(destination)},
                     files);
}

Options parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n", arg.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--dir") options.dir = value();
    else if (arg == "--rounds") options.rounds = std::stoi(value());
    else if (arg == "--small") options.small = std::stoi(value());
    else if (arg == "--large") options.large = std::stoi(value());
    else if (arg == "--program") options.program = value();
    else if (arg == "--baseline") options.baseline = value();
    else if (arg == "--compare-sync") options.compareSync = true;
    else if (arg == "--memory") options.memory = true;
    else {
      std::fprintf(stderr,
                   "usage: export_benchmark --dir DIR --program PATH [--rounds N] "
                   "[--small N] [--large N] [--baseline PATH] "
                   "[--compare-sync | --memory]\n");
      std::exit(2);
    }
  }
  return options;
}

void report(const char* first, const std::vector<double>& a, const char* second,
            const std::vector<double>& b) {
  double ma = median(a), mb = median(b);
  std::printf("%-28s median %.3f s  (", first, ma);
  for (double t : a) std::printf(" %.3f", t);
  std::printf(" )\n%-28s median %.3f s  (", second, mb);
  for (double t : b) std::printf(" %.3f", t);
  std::printf(" )\nratio %.3f\n", ma / mb);
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parse(argc, argv);
  fs::create_directories(options.dir);
  const std::string dir = fs::absolute(options.dir).string();
  if (!options.compareSync && options.program.empty()) {
    std::fprintf(stderr, "--program names simplekavo-export\n");
    return 2;
  }
  if (options.memory) {
    measureMemory(options, dir);
    return 0;
  }
  const std::string source = dir + "/source";
  const std::vector<std::string> names = prepareSource(options, source);
  const std::string exported = dir + "/export";
  const std::string copied = dir + "/copy";
  const std::string byBaseline = dir + "/baseline";
  std::printf("%zu files, %d rounds, in %s\n", names.size(), options.rounds, dir.c_str());

  // On a disk mounted with discard, writing right after deleting what was
  // just written is several times slower. So each command deletes its own
  // output of the round before, with the other command's run in between, and
  // an untimed round first puts the first timed one in the same position.
  std::vector<double> first, second, third;
  long peakKiB = 0;
  for (int round = -1; round < options.rounds; ++round) {
    kavo::PosixFileSystem posix;
    PerFileSync perFile(posix);
    auto timedExport = [&](kavo::FileSystem& files, const std::string& out) {
      clear(out);
      fs::create_directories(out);
      return seconds([&] { exportAll(files, source, out, names); });
    };
    std::function<double()> one, two;
    if (options.compareSync) {
      one = [&] { return timedExport(perFile, exported); };
      two = [&] { return timedExport(posix, copied); };
    } else {
      one = [&] {
        clear(exported);
        fs::create_directories(exported);
        Run r = runProgram({options.program, "--quiet", source, exported});
        peakKiB = std::max(peakKiB, r.peakKiB);
        return r.seconds;
      };
      two = [&] {
        clear(copied);
        return seconds([&] { run("cp -r " + quoted(source) + " " + quoted(copied) + " && sync"); });
      };
    }
    std::function<double()> three = [&] {
      clear(byBaseline);
      fs::create_directories(byBaseline);
      return runProgram({options.baseline, "--quiet", source, byBaseline}).seconds;
    };
    // With a baseline the three commands take turns at going first, so that
    // none always follows the same one and each still has another between
    // its own runs.
    const bool withBaseline = !options.compareSync && !options.baseline.empty();
    double a = 0, b = 0, c = 0;
    if (withBaseline) {
      std::vector<std::pair<std::function<double()>*, double*>> order = {
          {&one, &a}, {&two, &b}, {&three, &c}};
      std::rotate(order.begin(), order.begin() + (round + 3) % 3, order.end());
      for (auto& [command, result] : order) *result = (*command)();
    } else {
      a = one();
      b = two();
    }
    if (round < 0) continue;
    first.push_back(a);
    second.push_back(b);
    third.push_back(c);
  }
  clear(exported);
  clear(copied);
  clear(byBaseline);
  if (options.compareSync)
    report("export, fdatasync per file", first, "export, one syncfs a volume", second);
  else
  {
    report("simplekavo-export", first, "cp -r + sync", second);
    if (!options.baseline.empty()) {
      std::printf("\n");
      report("simplekavo-export", first, "baseline", third);
      std::printf("baseline: %s\n", options.baseline.c_str());
    }
    std::printf("peak resident memory of simplekavo-export: %ld KiB\n", peakKiB);
  }
  return 0;
}
