#include "cli/dry_run.h"

#include "export/rom_layout.h"

namespace kavo {

namespace {

using layout::joinPath;

void printLeftovers(const ExportPlan& plan, std::ostream& out,
                    const std::function<std::string(std::string_view)>& shown) {
  const ExportPaths& paths = plan.paths;
  if (plan.leftovers.restoresIndex)
    out << "rename " << shown(paths.index(Waiting::Retired)) << " -> " << shown(paths.index())
        << '\n';
  for (const FoundGroup& group : plan.leftovers.groups)
    for (const DirectoryEntry& copy : group.copies)
      out << "remove " << shown(joinPath(joinPath(paths.destination(), group.name), copy.name))
          << '\n';
  for (const std::string& path : plan.leftovers.files) out << "remove " << shown(path) << '\n';
}

void printCopies(const ExportPlan& plan, std::ostream& out,
                 const std::function<std::string(std::string_view)>& shown) {
  for (std::size_t group = 0; group < plan.groupCount(); ++group) {
    if (!plan.staged || !plan.replacesGroup(group))
      out << "mkdir " << shown(plan.finalGroupPath(group)) << '\n';
    const std::size_t end = std::min((group + 1) * layout::kGroupSize, plan.count());
    for (std::size_t j = group * layout::kGroupSize; j < end; ++j) {
      const std::string& earlier = plan.copies[j].reusedFrom;
      out << (!earlier.empty()          ? "reuse "
              : plan.copies[j].archived ? "unpack "
                                        : "copy ")
          << shown(earlier.empty() ? plan.sourcePath(j) : earlier) << " -> "
          << shown(plan.finalCopyPath(j)) << '\n';
    }
  }
}

}  // namespace

void printPlan(const ExportPlan& plan, std::ostream& out,
               const std::function<std::string(std::string_view)>& shown) {
  printLeftovers(plan, out, shown);
  printCopies(plan, out, shown);
  if (plan.staged)
    for (const RetiredGroup& group : plan.retired())
      for (const std::string& name : group.copies)
        out << "remove " << shown(joinPath(*nameWaitingAs(group.directory, Waiting::Retired), name))
            << '\n';
  const std::string index = plan.index();
  const std::size_t records = index.find_last_of('\n') + 1;  // 0 when none
  out << "write " << shown(plan.paths.index()) << " (" << index.size() << " bytes), records:\n"
      << shown(std::string_view(index).substr(0, records));
  for (const std::string& directory : plan.spaceUnchecked)
    out << "free space on " << shown(directory)
        << " could not be checked: its volume does not tell it\n";
}

}  // namespace kavo
