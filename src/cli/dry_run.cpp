// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/dry_run.h"

#include "export/rom_layout.h"
#include "export/windows1252.h"
#include "platform/services/paths.h"
#include "text/counts.h"

namespace kavo {

namespace {

using paths::join;

using Shown = std::function<std::string(std::string_view)>;

void printLeftovers(const ExportPlan& plan, std::ostream& out, const Shown& shown) {
  const ExportPaths& paths = plan.paths;
  if (plan.leftovers.restoresIndex)
    out << "rename " << shown(paths.index(Waiting::Retired)) << " -> " << shown(paths.index())
        << '\n';
  for (const FoundGroup& group : plan.leftovers.groups)
    for (const DirectoryEntry& copy : group.copies)
      out << "remove " << shown(join(join(paths.destination(), group.name), copy.name)) << '\n';
  for (const std::string& path : plan.leftovers.files) out << "remove " << shown(path) << '\n';
}

void printCopies(const ExportPlan& plan, std::ostream& out, const Shown& shown) {
  for (const Step& step : plan.steps()) {
    const std::size_t j = step.index;
    switch (step.kind) {
      case Step::Kind::MakeGroup:
        if (!plan.staged || !plan.replacesGroup(j))
          out << "mkdir " << shown(plan.finalGroupPath(j)) << '\n';
        continue;
      case Step::Kind::Reuse:
        out << "reuse " << shown(plan.reusedPath(j));
        break;
      case Step::Kind::Copy:
        out << "copy " << shown(plan.sourcePath(j));
        break;
      case Step::Kind::Unpack:
        out << "unpack " << shown(plan.sourcePath(j));
        break;
    }
    out << " -> " << shown(plan.finalCopyPath(j));
    // "Madō Monogatari" reaches the index as "Mad? Monogatari".
    if (const std::string& name = plan.recordName(j); losesCharacters(name))
      out << "  (the index names it \"" << shown(fromWindows1252(toWindows1252(name))) << "\")";
    out << '\n';
  }
}

// "kept: Europe, Rev 1" as "keep NAME: Europe, Rev 1".
std::string choiceLine(const catalog::FileChoice& file, const std::string& name,
                       const Shown& shown) {
  const std::size_t colon = file.reason.find(": ");
  const std::string why = colon == std::string::npos ? file.reason : file.reason.substr(colon + 2);
  return std::string(file.kept ? "  keep " : "  drop ") + shown(name) + ": " + shown(why);
}

}  // namespace

void printChoice(const catalog::Choice& choice, const std::vector<std::string>& listed,
                 const catalog::RegionOrder& order, std::ostream& out, const Shown& shown) {
  std::vector<std::vector<std::size_t>> filesOfGame(choice.games.size());
  for (std::size_t i = 0; i < choice.files.size(); ++i)
    filesOfGame[choice.files[i].game].push_back(i);
  out << "One version of each game, regions in the order " << order.text() << ":\n";
  for (std::size_t game = 0; game < choice.games.size(); ++game) {
    out << shown(choice.games[game]) << '\n';
    for (std::size_t i : filesOfGame[game])
      out << choiceLine(choice.files[i], listed[i], shown) << '\n';
  }
}

std::string keptSummary(const catalog::Choice& choice) {
  const std::size_t kept = choice.kept().size();
  std::string text = "Kept " + withThousands(kept) + " of " +
                     counted(choice.files.size(), "file", "files") + ", one version of each game";
  // A game keeps none only when it has nothing but bad dumps.
  if (const std::size_t none = choice.games.size() - kept; none > 0)
    text += "; " + counted(none, "game has", "games have") + " only bad dumps";
  return text;
}

void printPlan(const ExportPlan& plan, std::ostream& out, const Shown& shown,
               const Shown& shownRecord) {
  printLeftovers(plan, out, shown);
  printCopies(plan, out, shown);
  if (plan.staged)
    for (const RetiredGroup& group : plan.retired())
      for (const std::string& name : group.copies)
        out << "remove " << shown(join(*nameWaitingAs(group.directory, Waiting::Retired), name))
            << '\n';
  const std::string index = plan.index();
  out << "write " << shown(plan.paths.index()) << ", " << byteCount(index.size()) << ", records:\n";
  // Each record on a line of its own; the spaces that pad the index after
  // the last one are not shown.
  for (std::size_t start = 0, end; (end = index.find('\n', start)) != std::string::npos;
       start = end + 1)
    out << shownRecord(std::string_view(index).substr(start, end - start)) << '\n';
  for (const std::string& directory : plan.spaceUnchecked)
    out << "free space on " << shown(directory)
        << " could not be checked: its volume does not tell it\n";
}

}  // namespace kavo
