// SPDX-License-Identifier: MIT
// staged_files.h: replaces the files of a build all together or not at all.
//
// Each output file is written under a temporary name in its target directory
// ("<final>.tmp-XXXXXX"). Commit syncs them to disk and then replaces the old
// files through a journal (replacement_journal.h): the new files are renamed
// into place in the order they were staged (a database's blocks first, its
// stats file last, since a search reads the stats file first) and the files
// the new build no longer has are removed. Until the journal is written no
// existing file is touched, and if the build fails, or is interrupted by
// SIGINT, SIGTERM, SIGHUP or SIGPIPE, every temporary file is removed. Once the
// journal is written, the replacement is carried through: those signals wait
// until it is done, and after SIGKILL or a power cut the next build of the
// root completes it (PrepareRoot) while searches refuse the database. A search
// running on an old database keeps its mapped files: renaming never truncates
// them.
//
// StagedFiles owns the temporary files of one build, across any number of
// databases in one directory; one may exist at a time (the signal handler
// serves it), unless the signals are left alone.
//
// A process whose signals belong to someone else (the Python interpreter,
// which turns SIGINT into KeyboardInterrupt and ignores SIGPIPE) calls
// LeaveSignalsAlone once, before its first build: its builds then install no
// handler, block no signal and keep no table, so several may run at once on
// other threads; a build that fails still removes its temporary files, and
// the temporary files of a process killed mid-build are removed by the next
// build of the root (PrepareRoot). StagedDatabase names the files of one database by their suffix,
// in a StagedFiles of its own or in a shared one.
#ifndef BRISEL_MAKEDB_STAGED_FILES_H
#define BRISEL_MAKEDB_STAGED_FILES_H

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brisel {

// Before a build of `rootPath`: completes the replacement an interrupted build
// left there and removes the temporary files interrupted builds left for it
// (replacement_journal.h). Returns whether a replacement was completed. Throws
// BuildError.
bool PrepareRoot(const std::string& rootPath);

// See above; for the life of the process.
void LeaveSignalsAlone();

class StagedFiles {
 public:
  // The files of the build of `rootPath`: its database, or its shards and their
  // manifest.
  explicit StagedFiles(std::string rootPath);
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Creates the temporary file that will become `finalPath` and returns its
  // path. Throws BuildError naming the final file when it cannot be created.
  std::string Stage(const std::string& finalPath);

  // `finalPath` is to be removed with the commit, if it exists then.
  void StageRemoval(const std::string& finalPath) { removals_.push_back(finalPath); }

  // A database whose files are among these; it gets a journal of its own.
  void AddDatabaseRoot(const std::string& rootPath);

  // Gives every staged file the permissions a new file would get and syncs it,
  // then replaces the old files (see above). Throws BuildError.
  void Commit();

 private:
  struct StagedFile {
    std::string temporary;
    std::string final;
  };
  void RemoveTemporaries() noexcept;

  std::vector<std::string> roots_;  // the build's root first
  std::vector<std::string> removals_;
  // A deque keeps each file (and the characters of its short paths) in place
  // as files are added; the signal table points into it.
  std::deque<StagedFile> files_;
  std::vector<const char*> signalTable_;
};

class StagedDatabase {
 public:
  // A database whose files are committed on their own.
  explicit StagedDatabase(std::string rootPath);
  // A database among others, whose files `files` commits.
  StagedDatabase(StagedFiles& files, std::string rootPath);
  StagedDatabase(const StagedDatabase&) = delete;
  StagedDatabase& operator=(const StagedDatabase&) = delete;

  // Creates the temporary file that will become "<root><suffix>" and returns its
  // path. Throws BuildError naming the final file when it cannot be created.
  std::string Stage(std::string_view suffix) { return files_->Stage(FinalPath(suffix)); }

  // "<root><suffix>" is to be removed with the commit, if it exists then.
  void StageRemoval(std::string_view suffix) { files_->StageRemoval(FinalPath(suffix)); }

  // The final path of a suffix, for messages.
  std::string FinalPath(std::string_view suffix) const { return root_ + std::string(suffix); }

  // Commits the staged files (see StagedFiles::Commit).
  void Commit() { files_->Commit(); }

 private:
  std::string root_;
  std::unique_ptr<StagedFiles> owned_;
  StagedFiles* files_;
};

}  // namespace brisel

#endif  // BRISEL_MAKEDB_STAGED_FILES_H
