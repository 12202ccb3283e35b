// staged_files.h: replaces the files of a database all together or not at all.
//
// Each file of a new database is written under a temporary name in the target
// directory ("<root><suffix>.tmp-XXXXXX") and renamed into place only when every
// file has been written: the blocks first, the stats file last, since a search
// reads the stats file first. Until Commit succeeds no file of an existing
// database is touched; if the build fails, or is interrupted by SIGINT, SIGTERM,
// SIGHUP or SIGPIPE, every temporary file is removed. A search running on the old
// database keeps its mapped files: renaming never truncates them.
//
// One StagedDatabase may exist at a time (the signal handler serves it).
#ifndef BRISEL_MAKEDB_STAGED_FILES_H
#define BRISEL_MAKEDB_STAGED_FILES_H

#include <string>
#include <string_view>
#include <vector>

class StagedDatabase {
 public:
  explicit StagedDatabase(std::string rootPath);
  ~StagedDatabase();
  StagedDatabase(const StagedDatabase&) = delete;
  StagedDatabase& operator=(const StagedDatabase&) = delete;

  // Creates the temporary file that will become "<root><suffix>" and returns its
  // path. Throws BuildError naming the final file when it cannot be created.
  std::string Stage(std::string_view suffix);

  // The final path of a suffix, for messages.
  std::string FinalPath(std::string_view suffix) const { return root_ + std::string(suffix); }

  // Gives every staged file the permissions a new file would get, then renames
  // them into place in the order they were staged. Throws BuildError.
  void Commit();

 private:
  struct StagedFile {
    std::string temporary;
    std::string final;
  };
  void RemoveTemporaries() noexcept;

  std::string root_;
  std::vector<StagedFile> files_;
};

#endif  // BRISEL_MAKEDB_STAGED_FILES_H
