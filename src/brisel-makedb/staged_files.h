// SPDX-License-Identifier: MIT
// staged_files.h: replaces the files of a build all together or not at all.
//
// Each output file is written under a temporary name in its target directory
// ("<final>.tmp-XXXXXX") and renamed into place only when every file of the
// build has been written, in the order the files were staged: a database's
// blocks first and its stats file last, since a search reads the stats file
// first. Until Commit succeeds no existing file is touched; if the build fails,
// or is interrupted by SIGINT, SIGTERM, SIGHUP or SIGPIPE, every temporary file
// is removed. A search running on an old database keeps its mapped files:
// renaming never truncates them.
//
// StagedFiles owns the temporary files of one build, across any number of
// databases; one may exist at a time (the signal handler serves it).
// StagedDatabase names the files of one database by their suffix, in a
// StagedFiles of its own or in a shared one.
#ifndef BRISEL_MAKEDB_STAGED_FILES_H
#define BRISEL_MAKEDB_STAGED_FILES_H

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class StagedFiles {
 public:
  StagedFiles();
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Creates the temporary file that will become `finalPath` and returns its
  // path. Throws BuildError naming the final file when it cannot be created.
  std::string Stage(const std::string& finalPath);

  // Gives every staged file the permissions a new file would get, then renames
  // them into place in the order they were staged. Throws BuildError.
  void Commit();

 private:
  struct StagedFile {
    std::string temporary;
    std::string final;
  };
  void RemoveTemporaries() noexcept;

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

  // The final path of a suffix, for messages.
  std::string FinalPath(std::string_view suffix) const { return root_ + std::string(suffix); }

  // Commits the staged files (see StagedFiles::Commit).
  void Commit() { files_->Commit(); }

 private:
  std::string root_;
  std::unique_ptr<StagedFiles> owned_;
  StagedFiles* files_;
};

#endif  // BRISEL_MAKEDB_STAGED_FILES_H
