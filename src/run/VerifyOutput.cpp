#include "run/VerifyOutput.h"

#include <map>
#include <set>

#include "common/Error.h"
#include "run/FolderRecovery.h"
#include "run/OutputFolder.h"
#include "tablefile/TableFileNames.h"
#include "tablefile/TableFileReader.h"

namespace mdbtokvt {

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Reads one file of the set, turning a failure into a problem line.
bool Load(const std::string& folder, std::string_view name, TableKind kind, TableFileContents& into,
          std::vector<std::string>& problems) {
  try {
    into = ReadTableFile(JoinPath(folder, name));
  } catch (const ConversionError& e) {
    problems.push_back(std::string(name) + ": error " + std::to_string(e.number()) + ": " +
                       e.what());
    return false;
  }
  if (into.recordCount > 0 && into.kind != kind) {
    problems.push_back(std::string(name) + ": holds " + std::string(TableKindName(into.kind)) +
                       " records");
    return false;
  }
  return true;
}

}  // namespace

VerifyResult VerifyOutputFolder(const std::string& folder, const FileStepHook& steps) {
  VerifyResult result;
  try {
    result.notes = TidyOutputFolder(folder, steps);
  } catch (const ConversionError& e) {
    result.problems.push_back("the files a stopped conversion left could not be set right: error " +
                              std::to_string(e.number()) + ": " + e.what());
  }
  TableFileContents services, receivers, groups;
  const bool haveServices =
      Load(folder, kServiceTableFile, TableKind::kService, services, result.problems);
  const bool haveReceivers =
      Load(folder, kReceiverTableFile, TableKind::kReceiver, receivers, result.problems);
  const bool haveGroups = Load(folder, kGroupTableFile, TableKind::kGroup, groups, result.problems);
  result.services = static_cast<int>(services.services.size());
  result.receivers = static_cast<int>(receivers.receivers.size());
  result.groups = static_cast<int>(groups.groups.size());

  std::map<std::string, size_t> serviceRecord;
  for (size_t i = 0; i < services.services.size(); ++i) {
    const auto [it, fresh] = serviceRecord.emplace(services.services[i].name, i + 1);
    if (!fresh) {
      result.problems.push_back(
          std::string(kServiceTableFile) + " record " + std::to_string(i + 1) + ": service " +
          Quoted(services.services[i].name) + " repeats record " + std::to_string(it->second));
    }
  }
  std::set<std::string> receiverNames;
  for (size_t i = 0; i < receivers.receivers.size(); ++i) {
    const ReceiverRecord& r = receivers.receivers[i];
    receiverNames.insert(r.name);
    if (haveServices && !serviceRecord.contains(r.serviceName)) {
      result.problems.push_back(std::string(kReceiverTableFile) + " record " +
                                std::to_string(i + 1) + ": receiver " + Quoted(r.name) +
                                " names service " + Quoted(r.serviceName) + ", which " +
                                std::string(kServiceTableFile) + " does not hold");
    }
  }
  if (haveReceivers && haveGroups) {
    for (size_t i = 0; i < groups.groups.size(); ++i) {
      for (const auto& member : groups.groups[i].members) {
        if (!receiverNames.contains(member)) {
          result.problems.push_back(
              std::string(kGroupTableFile) + " record " + std::to_string(i + 1) + ": group " +
              Quoted(groups.groups[i].name) + " has member " + Quoted(member) + ", which " +
              std::string(kReceiverTableFile) + " does not hold");
        }
      }
    }
  }
  return result;
}

}  // namespace mdbtokvt
