// The commit record: a small file in the output folder saying which staged
// files move where, written and made durable before the first of them moves
// and removed when all have moved. Finding one means a commit was cut short;
// it says everything needed to finish it or to put the old files back.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/FileSteps.h"

namespace mdbtokvt {

// The record's name in the output folder, and its name once the recovery
// has decided to put the old files back (renamed, so the decision is
// durable and a second crash goes on the same way).
inline constexpr std::string_view kCommitRecordName = ".mdbtokvt-commit";
inline constexpr std::string_view kUndoRecordName = ".mdbtokvt-undo";

// One file of the set: its new content waits under temporary, its old one
// is moved to backup while the new one takes its place.
struct CommitEntry {
  std::string folder;             // empty: the output folder itself; else an absolute path
  std::string target, temporary;  // names within that folder
  std::string backup;             // empty when there was no old file
  bool operator==(const CommitEntry&) const = default;
};

std::string FormatCommitRecord(const std::vector<CommitEntry>& entries);
// The entries of a record; nullopt when the text is not a whole record (a
// crash while it was written, before anything had moved).
std::optional<std::vector<CommitEntry>> ParseCommitRecord(std::string_view text);

// Creates the record in folder and makes it durable (the file; the caller
// syncs the folder). Throws ConversionError.
void WriteCommitRecord(const std::string& folder, const std::vector<CommitEntry>& entries,
                       const FileStepHook& steps);
// The text of the record named name in folder, or nullopt when there is none.
std::optional<std::string> ReadCommitRecord(const std::string& folder, std::string_view name);

// The path of an entry's file named name.
std::string EntryPath(const std::string& outputFolder, const CommitEntry& entry,
                      const std::string& name);

}  // namespace mdbtokvt
