// SPDX-License-Identifier: MIT
// replacement_journal.cpp: journals written, read and completed; stale
// temporary files removed.
#include "staging/replacement_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "database/database_paths.h"
#include "database/database_replacement.h"
#include "database/motif_database.h"
#include "database/sequence_database.h"
#include "staging/build_error.h"

namespace brisel {

namespace {

constexpr std::string_view kMagic = "brisel-makedb replacement journal 1\n";
constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kTemporaryLetters = 6;  // mkstemp's XXXXXX

std::string Join(const std::string& directory, std::string_view name) {
  std::string path = directory;
  path += '/';
  path += name;
  return path;
}

std::string BaseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

[[noreturn]] void Fail(const std::string& path, const char* action, int error) {
  throw BuildError(path + ": " + action + ": " + std::strerror(error));
}

bool Exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// Suffixes of the files of one database: stats, blocks, anchors, journal.
std::vector<std::string_view> DatabaseFileSuffixes() {
  std::vector<std::string_view> suffixes = {kStatsSuffix, kAnchorsSuffix, kReplacingSuffix};
  for (const MotifBlock& block : kMotifBlocks)
    suffixes.push_back(block.suffix);
  for (const SequenceBlock& block : kSequenceBlocks)
    suffixes.push_back(block.suffix);
  return suffixes;
}

bool IsDatabaseFileSuffix(std::string_view rest) {
  const auto suffixes = DatabaseFileSuffixes();
  return std::find(suffixes.begin(), suffixes.end(), rest) != suffixes.end();
}

// Whether `name` is "<base><file>.tmp-XXXXXX" for a file of the root `base`
// (see RemoveStaleTemporaries).
bool IsStaleTemporaryOf(std::string_view name, std::string_view base) {
  if (name.size() < base.size() || name.substr(0, base.size()) != base) return false;
  std::string_view rest = name.substr(base.size());
  const std::size_t mark = rest.rfind(kTemporaryMark);
  if (mark == std::string_view::npos) return false;
  const std::string_view letters = rest.substr(mark + kTemporaryMark.size());
  if (letters.size() != kTemporaryLetters ||
      !std::all_of(letters.begin(), letters.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
      })) {
    return false;
  }
  rest = rest.substr(0, mark);
  if (rest == ".shards") return true;
  if (!rest.empty() && rest[0] == '.') {  // a shard: ".<n>" and a file of it
    std::size_t digits = 1;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
      ++digits;
    if (digits == 1) return false;
    rest = rest.substr(digits);
  }
  return IsDatabaseFileSuffix(rest);
}

void AppendField(std::string& text, std::string_view field) {
  text += field;
  text += '\0';
}

std::string JournalText(const Replacement& replacement) {
  std::string text(kMagic);
  for (const Replacement::Rename& rename : replacement.renames) {
    AppendField(text, "rename");
    AppendField(text, rename.temporary);
    AppendField(text, rename.final);
  }
  for (const std::string& removal : replacement.removals) {
    AppendField(text, "remove");
    AppendField(text, removal);
  }
  for (const std::string& journal : replacement.journals) {
    AppendField(text, "journal");
    AppendField(text, journal);
  }
  AppendField(text, "end");
  return text;
}

bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// Parses a journal; throws BuildError for anything but a complete one.
Replacement ParseJournal(const std::string& path, std::string_view text, std::string directory) {
  const auto damaged = [&]() -> BuildError {
    return BuildError(path +
                      ": not a complete journal of brisel-makedb; remove it and rebuild the "
                      "database");
  };
  if (text.substr(0, kMagic.size()) != kMagic) throw damaged();
  text.remove_prefix(kMagic.size());
  const auto next = [&]() -> std::string {
    const std::size_t end = text.find('\0');
    if (end == std::string_view::npos) throw damaged();
    std::string field(text.substr(0, end));
    text.remove_prefix(end + 1);
    return field;
  };
  const auto name = [&]() {
    std::string field = next();
    if (!IsPlainName(field)) throw damaged();
    return field;
  };
  Replacement replacement;
  replacement.directory = std::move(directory);
  for (;;) {
    const std::string kind = next();
    if (kind == "end") break;
    if (kind == "rename") {
      std::string temporary = name();
      replacement.renames.push_back({std::move(temporary), name()});
    } else if (kind == "remove") {
      replacement.removals.push_back(name());
    } else if (kind == "journal") {
      replacement.journals.push_back(name());
    } else {
      throw damaged();
    }
  }
  if (!text.empty()) throw damaged();
  return replacement;
}

std::string ReadWholeFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) Fail(path, "cannot open", errno);
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      Fail(path, "cannot read", error);
    }
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return text;
}

void WriteJournal(const Replacement& replacement, const std::string& journal,
                  const std::string& text) {
  const std::string path = Join(replacement.directory, journal);
  std::string temporary = path + std::string(kTemporaryMark) + "XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) Fail(path, "cannot create", errno);
  std::size_t written = 0;
  int error = 0;
  while (written < text.size()) {
    const ssize_t put = ::write(fd, text.data() + written, text.size() - written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      error = put < 0 ? errno : EIO;
      break;
    }
    written += static_cast<std::size_t>(put);
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    Fail(path, "cannot write", error);
  }
}

std::string HalfReplaced(const Replacement& replacement) {
  const std::string journal = replacement.journals.empty()
                                  ? std::string("the journal")
                                  : Join(replacement.directory, replacement.journals.front());
  return "; the database is half replaced until the next brisel-makedb run of it completes " +
         journal;
}

}  // namespace

void SyncToDisk(const std::string& path, const std::string& nameForMessages) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) Fail(nameForMessages, "cannot open to sync", errno);
  int error = 0;
  while (::fsync(fd) != 0) {
    if (errno == EINTR) continue;
    // A directory or file system that cannot sync (EINVAL) has nothing to wait for.
    if (errno != EINVAL && errno != EROFS) error = errno;
    break;
  }
  ::close(fd);
  if (error != 0) Fail(nameForMessages, "cannot sync to disk", error);
}

void WriteJournals(const Replacement& replacement) {
  const std::string text = JournalText(replacement);
  std::size_t written = 0;
  try {
    for (const std::string& journal : replacement.journals) {
      WriteJournal(replacement, journal, text);
      ++written;
    }
    SyncToDisk(replacement.directory, replacement.directory);
  } catch (const BuildError&) {
    for (std::size_t j = 0; j < written; ++j)
      ::unlink(Join(replacement.directory, replacement.journals[j]).c_str());
    throw;
  }
}

void Complete(const Replacement& replacement) {
  const std::string& directory = replacement.directory;
  for (const Replacement::Rename& rename : replacement.renames) {
    const std::string temporary = Join(directory, rename.temporary);
    const std::string final = Join(directory, rename.final);
    if (::rename(temporary.c_str(), final.c_str()) == 0) continue;
    const int error = errno;
    if (error == ENOENT && !Exists(temporary)) continue;  // renamed before
    throw BuildError(final + ": cannot rename into place: " + std::strerror(error) +
                     HalfReplaced(replacement));
  }
  SyncToDisk(directory, directory);
  if (!replacement.removals.empty()) {
    for (const std::string& removal : replacement.removals) {
      const std::string path = Join(directory, removal);
      if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        throw BuildError(path + ": cannot remove: " + std::strerror(errno) +
                         HalfReplaced(replacement));
      }
    }
    SyncToDisk(directory, directory);
  }
  // The build's own journal goes last: while any journal is left, it is too.
  for (auto journal = replacement.journals.rbegin(); journal != replacement.journals.rend();
       ++journal) {
    const std::string path = Join(directory, *journal);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
      throw BuildError(path + ": cannot remove: " + std::strerror(errno));
    }
  }
  SyncToDisk(directory, directory);
}

bool CompleteInterruptedReplacement(std::string_view rootPath) {
  const std::string path = std::string(rootPath) + std::string(kReplacingSuffix);
  if (!Exists(path)) return false;
  Replacement replacement = ParseJournal(path, ReadWholeFile(path), DatabaseDirectory(rootPath));
  // The journal found is removed last, whatever it lists.
  const std::string found = BaseName(path);
  std::erase(replacement.journals, found);
  replacement.journals.insert(replacement.journals.begin(), found);
  Complete(replacement);
  return true;
}

void RemoveStaleTemporaries(std::string_view rootPath) {
  const std::string directory = DatabaseDirectory(rootPath);
  const std::string base = BaseName(rootPath);
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(directory.c_str()), ::closedir);
  if (!listing) return;  // a directory that cannot be listed holds nothing to remove
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(listing.get())) {
    if (IsStaleTemporaryOf(entry->d_name, base)) stale.emplace_back(entry->d_name);
  }
  for (const std::string& name : stale) {
    const std::string path = Join(directory, name);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) Fail(path, "cannot remove", errno);
  }
}

}  // namespace brisel
