// SPDX-License-Identifier: MIT
// replacement_journal.h: the builder's side of replacing a database's files
// (see database_replacement.h for the protocol as a whole).
//
// A Replacement lists what turns the files of one or more databases in one
// directory into those of a new build: temporary files to rename over their
// final names, in order, and final files to remove. It is carried out in three
// steps that are safe to interrupt anywhere:
//   1. WriteJournals: the journal "<root>-replacing" of every database root
//      involved, the build's own root first, each written under a temporary
//      name, synced and renamed into place. Each lists the whole replacement.
//   2. Complete: the renames and removals, then the journals are removed, the
//      build's own root last. Every step can be done again: a rename whose
//      temporary file is gone was done before.
// A journal found by a later build is completed from step 2
// (CompleteInterruptedReplacement). The caller holds the directory's
// exclusive lock throughout.
//
// A journal holds only names inside the directory, never a path: a magic line,
// then NUL-terminated fields ("rename", temporary, final; "remove", final;
// "journal", name), then "end".
#ifndef BRISEL_MAKEDB_REPLACEMENT_JOURNAL_H
#define BRISEL_MAKEDB_REPLACEMENT_JOURNAL_H

#include <string>
#include <string_view>
#include <vector>

namespace brisel {

struct Replacement {
  std::string directory;
  struct Rename {
    std::string temporary;  // names inside `directory`
    std::string final;
  };
  std::vector<Rename> renames;
  std::vector<std::string> removals;
  std::vector<std::string> journals;  // the build's own root's first
};

// Writes every journal of `replacement`. On failure removes the journals it
// wrote and throws BuildError: nothing has been replaced.
void WriteJournals(const Replacement& replacement);

// Renames, removes and then removes the journals, syncing the directory after
// each kind of step. Throws BuildError naming the file that could not be
// renamed or removed, saying that the next build completes the replacement.
void Complete(const Replacement& replacement);

// Completes the replacement that an interrupted build left at `rootPath`, if
// its journal is there. Returns whether there was one. Throws BuildError for a
// journal that cannot be read or a step that fails.
bool CompleteInterruptedReplacement(std::string_view rootPath);

// Removes the temporary files that interrupted builds left for `rootPath`:
// "<root><file>.tmp-XXXXXX" where <file> is a file of a database (a stats or
// block suffix, "-replacing"), of one of its shards (".<n>" and such a
// suffix) or its shard manifest (".shards"). Nothing else is touched.
void RemoveStaleTemporaries(std::string_view rootPath);

// Syncs `path` (a file or directory) to disk. Throws BuildError naming
// `nameForMessages`.
void SyncToDisk(const std::string& path, const std::string& nameForMessages);

}  // namespace brisel

#endif  // BRISEL_MAKEDB_REPLACEMENT_JOURNAL_H
