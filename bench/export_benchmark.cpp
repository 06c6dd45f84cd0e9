// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times simplekavo-export against `cp -r` of the same files followed by
// `sync`, in the same run and on the same disk, on several workloads, and
// reports the program's peak resident memory.
//
//   export_benchmark --dir DIR --program PATH [--rounds N]
//                    [--workloads small,tiny,mixed,large] [--target DIR]
//                    [--baseline PATH] [--compare-sync | --memory | --replace |
//                    --verify | --archives]
//
// Workloads: small is 5,000 files of 64 KiB, tiny 20,000 of 4 KiB, mixed
// 100 of 4 MiB and 5,000 of 64 KiB, large 5 of 200 MiB. The large one is
// also timed against one file of the same bytes written by `dd` + `sync`,
// the disk's own limit. usb, 2 of 4 MiB and 300 of 64 KiB, is for FAT32
// through fusefat.
// --target writes the exports and copies there (another file system);
// the sources stay in DIR.
// --baseline (repeatable) times another build of simplekavo-export in the
// same rounds, so that a change is measured against the program before it;
// it is named by the folder that holds it.
// --compare-sync times two exports in this process instead, made durable in
// two ways: fdatasync of every file (and fsync of every directory) against
// one syncfs of each volume.
// --replace times refreshing a drive: 1,000 files of 256 KiB exported
// (untimed), then 5 new names spread through the order and the program run
// again with --replace, against a fresh export of the same 1,005 files, and
// the replace with --checksum too.
// --verify times, on each workload, the export with its read-back against
// the export with --no-verify (their difference is what verifying costs),
// and then --check of an exported layout against reading the same copies
// with `dd iflag=direct`, the drive's own speed with no cache to help.
// --archives times an export of 2,000 zipped ROMs of 256 KiB against the
// export of the same ROMs unpacked, and against `unzip` of the archives
// into a folder followed by an export of that folder.
// --memory runs the program once on each of 500, 5,000 and 50,000 files of
// 1 KiB and reports its peak resident memory for each count, and then each
// --baseline's on the same files.
//
// Every command writes each round into a folder of its own, whose files are
// then truncated to nothing (untimed) and which is only deleted at the end:
// on ext4, creating files right after thousands were deleted is slowed by
// the deleted inodes, and it slows many directories more than one. The
// commands take turns at going first.

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

#include "bench_files.h"
#include "export/rom_set_export.h"
#include "median.h"
#include "platform/services/forwarding_file_system.h"
#include "platform/services/posix_file_system.h"
#include "support/archive_files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
  std::string dir = "bench-data";
  std::string program;
  std::vector<std::string> baselines;
  std::string target;
  int rounds = 5;
  std::vector<std::string> workloads = {"small", "tiny", "mixed", "large"};
  bool compareSync = false;
  bool memory = false;
  bool replace = false;
  bool verify = false;
  bool archives = false;
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
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed: %s\n", argv[0]);
    std::exit(1);
  }
  return {std::chrono::duration<double>(Clock::now() - start).count(), usage.ru_maxrss};
}

// Content that neither compresses to nothing nor is sparse. `runs` makes
// every other 64 bytes a run of one byte, as ROMs have (padding, blank
// tiles), so that deflate has something to do: it then packs to about half.
std::string romBytes(std::size_t size, unsigned seed, bool runs = false) {
  std::string bytes(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>(runs && (i >> 6) % 2 == 0 ? i >> 12 : state >> 24);
  }
  return bytes;
}

void writeRom(const std::string& path, std::size_t size, unsigned seed) {
  const std::string bytes = romBytes(size, seed);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

// A workload: groups of files of one size each.
struct Workload {
  std::string name;
  std::vector<std::pair<int, std::size_t>> files;  // count, size
};

Workload workloadNamed(const std::string& name) {
  constexpr std::size_t KiB = 1024, MiB = 1024 * KiB;
  if (name == "small") return {name, {{5000, 64 * KiB}}};
  if (name == "tiny") return {name, {{20000, 4 * KiB}}};
  if (name == "mixed") return {name, {{100, 4 * MiB}, {5000, 64 * KiB}}};
  if (name == "large") return {name, {{5, 200 * MiB}}};
  // For a USB drive through the FUSE stand-in, which is slow, and slower
  // still for `cp -r` as one directory fills (it searches it at each create).
  if (name == "usb") return {name, {{2, 4 * MiB}, {300, 64 * KiB}}};
  std::fprintf(stderr, "unknown workload %s (small, tiny, mixed, large, usb)\n", name.c_str());
  std::exit(2);
}

// Makes the workload's files once and keeps them; returns their names and
// their total size.
std::vector<std::string> prepareSource(const Workload& workload, const std::string& source,
                                       std::uint64_t& bytes) {
  std::vector<std::string> names;
  bytes = 0;
  for (std::size_t g = 0; g < workload.files.size(); ++g)
    for (int i = 0; i < workload.files[g].first; ++i) {
      names.push_back("Game " + std::to_string(g) + "-" + std::to_string(i) + ".sms");
      bytes += workload.files[g].second;
    }
  const std::string marker = source + "/.complete";
  if (fs::exists(marker)) return names;
  fs::remove_all(source);
  fs::create_directories(source);
  std::fprintf(stderr, "generating the %s workload in %s\n", workload.name.c_str(), source.c_str());
  std::size_t n = 0;
  for (const auto& [count, size] : workload.files)
    for (int i = 0; i < count; ++i, ++n)
      writeRom(source + "/" + names[n], size, static_cast<unsigned>(n));
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
  for (int i = 0; i < count; ++i) writeRom(source + "/Game " + std::to_string(i) + ".sms", size, i);
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
  // The program, then each baseline, on the same files.
  std::vector<std::string> programs = {options.program};
  programs.insert(programs.end(), options.baselines.begin(), options.baselines.end());
  std::printf("%10s %14s %10s  %s\n", "files", "peak RSS KiB", "seconds", "program");
  for (int count : {500, 5000, 50000}) {
    const std::string source = dir + "/flat-" + std::to_string(count);
    prepareFlat(source, count, 1024);
    for (const std::string& program : programs) {
      clear(out);
      fs::create_directories(out);
      Run r = runProgram({program, "--quiet", source, out});
      std::printf("%10d %14ld %10.2f  %s\n", count, r.peakKiB, r.seconds, program.c_str());
    }
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
  kavo::FileStatus copyInto(const std::string& from, const kavo::OpenDirectory& into,
                            const std::string& name, const Seen& seen = {}) override {
    const kavo::FileStatus status = target_.copyInto(from, into, name, seen);
    syncPath(into.path() + "/" + name, true);
    return status;
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

void exportAll(kavo::FileSystem& files, const std::string& source, const std::string& destination,
               const std::vector<std::string>& names) {
  kavo::exportRomSet(
      kavo::ExportRequest{destination, source, names, kavo::proposedIndexPath(destination)}, files);
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
    if (arg == "--dir")
      options.dir = value();
    else if (arg == "--rounds")
      options.rounds = std::stoi(value());
    else if (arg == "--target")
      options.target = value();
    else if (arg == "--workloads") {
      options.workloads.clear();
      std::string list = value();
      for (std::size_t at = 0; at <= list.size();) {
        std::size_t comma = std::min(list.find(',', at), list.size());
        options.workloads.push_back(list.substr(at, comma - at));
        at = comma + 1;
      }
    } else if (arg == "--program")
      options.program = value();
    else if (arg == "--baseline")
      options.baselines.push_back(value());
    else if (arg == "--compare-sync")
      options.compareSync = true;
    else if (arg == "--memory")
      options.memory = true;
    else if (arg == "--replace")
      options.replace = true;
    else if (arg == "--verify")
      options.verify = true;
    else if (arg == "--archives")
      options.archives = true;
    else {
      std::fprintf(
          stderr,
          "usage: export_benchmark --dir DIR --program PATH [--rounds N] "
          "[--workloads small,tiny,mixed,large] [--target DIR] "
          "[--baseline PATH] [--compare-sync | --memory | --replace | --verify | --archives]\n");
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

// One command of a round: writes into the folder it is given and returns
// the seconds it took.
struct Command {
  std::string name;
  std::function<double(const std::string& out)> run;
  std::vector<double> seconds;
};

// Runs the commands for the rounds asked for, each round into new folders
// under `place` and the commands taking turns at going first, then removes
// `place` and reports each command against the first.
void runRounds(const Options& options, std::vector<Command>& commands, const std::string& place) {
  for (int round = 0; round < options.rounds; ++round) {
    for (std::size_t k = 0; k < commands.size(); ++k) {
      Command& command = commands[(k + static_cast<std::size_t>(round)) % commands.size()];
      const std::string out =
          place + "/" + std::to_string(round) + "-" + std::to_string(&command - commands.data());
      command.seconds.push_back(command.run(out));
      truncateAll(out);
    }
  }
  fs::remove_all(place);
  run("sync");
  for (std::size_t k = 1; k < commands.size(); ++k)
    report(commands[0].name.c_str(), commands[0].seconds, commands[k].name.c_str(),
           commands[k].seconds);
}

void timeWorkload(const Options& options, const Workload& workload, const std::string& source,
                  const std::string& outputs) {
  std::uint64_t bytes = 0;
  const std::vector<std::string> names = prepareSource(workload, source, bytes);
  const std::string place = outputs + "/" + workload.name;
  fs::remove_all(place);
  fs::create_directories(place);
  long peakKiB = 0;
  kavo::PosixFileSystem posix;
  PerFileSync perFile(posix);
  auto inProcess = [&](kavo::FileSystem& files) {
    return [&, files = &files](const std::string& out) {
      fs::create_directories(out);
      return seconds([&] { exportAll(*files, source, out, names); });
    };
  };
  auto program = [&](const std::string& path) {
    return [&, path](const std::string& out) {
      fs::create_directories(out);
      Run r = runProgram({path, "--quiet", source, out});
      if (path == options.program) peakKiB = std::max(peakKiB, r.peakKiB);
      return r.seconds;
    };
  };
  std::vector<Command> commands;
  if (options.compareSync) {
    commands.push_back({"export, fdatasync per file", inProcess(perFile), {}});
    commands.push_back({"export, one syncfs a volume", inProcess(posix), {}});
  } else {
    commands.push_back({"simplekavo-export", program(options.program), {}});
    commands.push_back(
        {"cp -r + sync",
         [&](const std::string& out) {
           return seconds([&] { run("cp -r " + quoted(source) + " " + quoted(out) + " && sync"); });
         },
         {}});
    if (workload.name == "large")
      commands.push_back({"dd one file + sync",
                          [&](const std::string& out) {
                            fs::create_directories(out);
                            return seconds([&] {
                              run("dd if=/dev/zero of=" + quoted(out + "/one") + " bs=1M count=" +
                                  std::to_string(bytes >> 20) + " status=none && sync");
                            });
                          },
                          {}});
    for (const std::string& baseline : options.baselines)
      commands.push_back({"baseline " + fs::path(baseline).parent_path().filename().string(),
                          program(baseline),
                          {}});
  }
  std::printf("\n%s: %zu files, %.1f MiB, %d rounds, into %s\n", workload.name.c_str(),
              names.size(), static_cast<double>(bytes) / (1 << 20), options.rounds, place.c_str());
  std::fflush(stdout);
  runRounds(options, commands, place);
  if (!options.compareSync)
    std::printf("peak resident memory of simplekavo-export: %ld KiB\n", peakKiB);
  std::fflush(stdout);
}

// Verification: what the read-back adds to an export, and how fast --check
// reads a layout back against `dd iflag=direct` reading the same copies.
void timeVerify(const Options& options, const Workload& workload, const std::string& source,
                const std::string& outputs) {
  std::uint64_t bytes = 0;
  const std::vector<std::string> names = prepareSource(workload, source, bytes);
  const std::string place = outputs + "/verify-" + workload.name;
  fs::remove_all(place);
  fs::create_directories(place);
  auto exporting = [&](std::vector<std::string> extra) {
    return [&, extra](const std::string& out) {
      fs::create_directories(out);
      std::vector<std::string> argv = {options.program, "--quiet"};
      argv.insert(argv.end(), extra.begin(), extra.end());
      argv.push_back(source);
      argv.push_back(out);
      return runProgram(argv).seconds;
    };
  };
  std::vector<Command> commands = {{"export, read back", exporting({}), {}},
                                   {"export --no-verify", exporting({"--no-verify"}), {}}};
  std::printf("\nverify %s: %zu files, %.1f MiB, %d rounds, into %s\n", workload.name.c_str(),
              names.size(), static_cast<double>(bytes) / (1 << 20), options.rounds, place.c_str());
  std::fflush(stdout);
  runRounds(options, commands, place);
  std::printf("reading back added %.3f s for %.1f MiB\n",
              median(commands[0].seconds) - median(commands[1].seconds),
              static_cast<double>(bytes) / (1 << 20));

  // One layout, read back again and again: by --check, and by dd.
  const std::string layout = place + "-layout";
  fs::remove_all(layout);
  fs::create_directories(layout);
  runProgram({options.program, "--quiet", "--no-verify", source, layout});
  std::vector<Command> reading = {
      {"simplekavo-export --check",
       [&](const std::string& out) {
         fs::create_directories(out);
         return runProgram({options.program, "--quiet", "--check", layout}).seconds;
       },
       {}},
      {"dd iflag=direct of each copy",
       [&](const std::string& out) {
         fs::create_directories(out);
         return seconds([&] {
           run("for f in " + quoted(layout) +
               "/ROMS*/*; do dd if=\"$f\" of=/dev/null bs=4M "
               "iflag=direct status=none || exit 1; done");
         });
       },
       {}}};
  runRounds(options, reading, place + "-reading");
  fs::remove_all(layout);
  std::fflush(stdout);
}

// Refreshing a drive: the earlier export holds 1,000 files; the new list
// adds 5 names spread through the order, so every later copy moves.
void timeReplace(const Options& options, const std::string& dir, const std::string& outputs) {
  constexpr int kEarlier = 1000;
  constexpr std::size_t kSize = 256 * 1024;
  const std::string earlier = dir + "/source-refresh-earlier", now = dir + "/source-refresh";
  prepareFlat(earlier, kEarlier, kSize);
  if (!fs::exists(now + "/.complete")) {
    // The same files (hard links: the same bytes and times) and 5 more.
    fs::remove_all(now);
    fs::create_directories(now);
    for (int i = 0; i < kEarlier; ++i) {
      const std::string name = "/Game " + std::to_string(i) + ".sms";
      fs::create_hard_link(earlier + name, now + name);
    }
    for (int i : {100, 300, 500, 700, 900})
      writeRom(now + "/Game " + std::to_string(i) + "a.sms", kSize, 5000 + i);
    std::ofstream(now + "/.complete").put('\n');
    run("sync");
  }
  const std::string place = outputs + "/refresh";
  fs::remove_all(place);
  fs::create_directories(place);
  auto replace = [&](std::vector<std::string> options_) {
    return [&, options_](const std::string& out) {
      fs::create_directories(out);
      runProgram({options.program, "--quiet", earlier, out});
      std::vector<std::string> argv = {options.program, "--quiet", "--replace"};
      argv.insert(argv.end(), options_.begin(), options_.end());
      argv.push_back(now);
      argv.push_back(out);
      return runProgram(argv).seconds;
    };
  };
  std::vector<Command> commands;
  commands.push_back({"simplekavo-export --replace", replace({}), {}});
  commands.push_back({"fresh simplekavo-export",
                      [&](const std::string& out) {
                        fs::create_directories(out);
                        return runProgram({options.program, "--quiet", now, out}).seconds;
                      },
                      {}});
  commands.push_back({"--replace --checksum", replace({"--checksum"}), {}});
  std::printf("\nreplace: %d files of 256 KiB exported, then 5 names added; %d rounds, into %s\n",
              kEarlier, options.rounds, place.c_str());
  std::fflush(stdout);
  runRounds(options, commands, place);
  std::fflush(stdout);
}

// Zipped sets: 2,000 ROMs of 256 KiB, each deflated alone in a .zip, made
// once and kept with the same ROMs unpacked. The export from the archives
// against the export of the unpacked ROMs, and against `unzip` of every
// archive into a folder followed by an export of that folder.
void timeArchives(const Options& options, const std::string& dir, const std::string& outputs) {
  constexpr int kCount = 2000;
  constexpr std::size_t kSize = 256 * 1024;
  const std::string zipped = dir + "/source-zipped", unpacked = dir + "/source-unpacked";
  if (!fs::exists(zipped + "/.complete") || !fs::exists(unpacked + "/.complete")) {
    for (const std::string& source : {zipped, unpacked}) {
      fs::remove_all(source);
      fs::create_directories(source);
    }
    std::fprintf(stderr, "generating %d zipped ROMs in %s\n", kCount, zipped.c_str());
    for (int i = 0; i < kCount; ++i) {
      const std::string name = "Game " + std::to_string(i), bytes = romBytes(kSize, i, true);
      kavo::testing::writeArchive(zipped + "/" + name + ".zip", "zip", {{name + ".sms", bytes}});
      std::ofstream(unpacked + "/" + name + ".sms", std::ios::binary)
          .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    for (const std::string& source : {zipped, unpacked})
      std::ofstream(source + "/.complete").put('\n');
    run("sync");
  }
  std::uint64_t packed = 0;
  for (const auto& entry : fs::directory_iterator(zipped))
    if (entry.path().extension() == ".zip") packed += entry.file_size();
  const std::string place = outputs + "/archives";
  fs::remove_all(place);
  fs::create_directories(place);
  auto exporting = [&](const std::string& source) {
    return [&, source](const std::string& out) {
      fs::create_directories(out);
      return runProgram({options.program, "--quiet", source, out}).seconds;
    };
  };
  std::vector<Command> commands = {{"export from the .zip files", exporting(zipped), {}},
                                   {"export of the unpacked ROMs", exporting(unpacked), {}},
                                   {"unzip, then export",
                                    [&](const std::string& out) {
                                      const std::string folder = out + "/unzipped",
                                                        layout = out + "/layout";
                                      fs::create_directories(folder);
                                      fs::create_directories(layout);
                                      return seconds([&] {
                                        run("unzip -qq " + quoted(zipped + "/*.zip") + " -d " +
                                            quoted(folder) + " >/dev/null 2>&1");
                                        runProgram({options.program, "--quiet", folder, layout});
                                      });
                                    },
                                    {}}};
  std::printf(
      "\narchives: %d ROMs of 256 KiB, each deflated in a .zip (%.1f MiB packed, %.1f "
      "MiB unpacked), %d rounds, into %s\n",
      kCount, static_cast<double>(packed) / (1 << 20),
      static_cast<double>(kCount * kSize) / (1 << 20), options.rounds, place.c_str());
  std::fflush(stdout);
  runRounds(options, commands, place);
  std::fflush(stdout);
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
  const std::string outputs =
      options.target.empty() ? dir + "/out" : fs::absolute(options.target).string();
  fs::create_directories(outputs);
  if (options.replace) {
    timeReplace(options, dir, outputs);
    return 0;
  }
  if (options.archives) {
    timeArchives(options, dir, outputs);
    return 0;
  }
  if (options.verify) {
    for (const std::string& name : options.workloads)
      timeVerify(options, workloadNamed(name), dir + "/source-" + name, outputs);
    return 0;
  }
  for (const std::string& name : options.workloads)
    timeWorkload(options, workloadNamed(name), dir + "/source-" + name, outputs);
  return 0;
}
