// SPDX-License-Identifier: MIT
// search_reports.cpp: a report's motifs, its collector fed from a hit table,
// and its file.
#include "api/search_reports.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "base/error.h"
#include "database/motif_database.h"
#include "output/output_formats.h"

namespace brisel {

ReportMotifs ReportMotifsOf(const MotifDatabase& motifs) {
  ReportMotifs grouped;
  grouped.of.reserve(motifs.size());
  std::unordered_map<std::string_view, std::uint32_t> byRecord;
  for (std::uint32_t m = 0; m < motifs.size(); ++m) {
    const std::string_view record = UntilNul(motifs.Record(m));
    const double specificity = motifs.blocks().specificities[m];
    const auto [at, added] =
        byRecord.try_emplace(record, static_cast<std::uint32_t>(grouped.shown.size()));
    if (added) {
      grouped.shown.push_back({record, specificity, specificity});
    } else {
      ReportMotif& shown = grouped.shown[at->second];
      shown.specificity = std::min(shown.specificity, specificity);
      shown.highestSpecificity = std::max(shown.highestSpecificity, specificity);
    }
    grouped.of.push_back(at->second);
  }
  return grouped;
}

void CollectHitTable(const HitTable& hits, const MotifDatabase& motifs,
                     const SequenceDatabase* sequences, std::uint64_t searched,
                     ReportCollector& collector) {
  if (sequences == nullptr && !hits.hasTexts() && hits.size() > 0) {
    throw Error(Error::Kind::kDamaged, "the hits have no texts and no sequence database");
  }
  const auto outside = [](std::size_t i) {
    return Error(Error::Kind::kDamaged,
                 "hit " + std::to_string(i) + " lies outside the databases it is written with");
  };
  std::uint64_t withHits = 0;
  std::string_view residues;
  for (std::size_t i = 0; i < hits.size(); ++i) {
    const std::uint64_t s = hits.sequence[i];
    if (i == 0 || s != hits.sequence[i - 1]) {
      if (i > 0) collector.EndSequence();
      ++withHits;
      if (sequences != nullptr) {
        if (s >= sequences->size()) throw outside(i);
        const auto n = static_cast<std::uint32_t>(s);
        residues = sequences->Residues(n);
        collector.BeginSequence(s, PlainName(sequences->Name(n), NameKind::kDatabase),
                                residues.size());
      } else {
        const std::string_view name = hits.Name(i);
        // A translated search's sequence is its nucleotide record.
        collector.BeginSequence(
            s, PlainName(name, name.empty() ? NameKind::kNone : NameKind::kFastaLine),
            hits.translated() ? hits.recordLength[i] : 0);
      }
    }
    const std::uint64_t start = hits.start[i], end = hits.end[i];
    if (hits.motif[i] >= motifs.size() || start == 0 || end < start) throw outside(i);
    std::string_view segment;
    if (sequences != nullptr && !hits.translated()) {
      if (end > residues.size()) throw outside(i);
      segment = residues.substr(start - 1, end - start + 1);
    } else {
      segment = hits.Segment(i);
    }
    collector.AddHit({hits.motif[i], start, end, hits.expectation[i], hits.probability[i],
                      UntilNul(segment), hits.translated() ? hits.frame[i] : 0});
  }
  if (hits.size() > 0) collector.EndSequence();
  if (searched > withHits) collector.AddSequencesWithoutHits(searched - withHits);
}

namespace {

// Thrown by the report's sink to stop the writer at a failed write.
struct WriteFailed {};

// Temporary files of this process are numbered apart.
std::atomic<unsigned> temporaryCount{0};

[[noreturn]] void ThrowReportFault(const std::string& path, const std::string& cause, int error) {
  throw Error(Error::Kind::kOutput, "cannot write the report '" + path + "': " + cause, error);
}

}  // namespace

ReportFile::ReportFile(std::string path) : path_(std::move(path)) {
  struct stat status;
  if (::stat(path_.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    ThrowReportFault(path_, "not a regular file", 0);
  }
  for (int attempt = 0; fd_ < 0; ++attempt) {
    temporary_ = path_ + "." + std::to_string(::getpid()) + "-" +
                 std::to_string(temporaryCount.fetch_add(1)) + ".tmp";
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
      const int error = errno;
      temporary_.clear();
      ThrowReportFault(path_, std::strerror(error), error);
    }
  }
}

ReportFile::~ReportFile() {
  Discard();
}

void ReportFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

void ReportFile::Fail(int error) {
  Discard();
  ThrowReportFault(path_, std::strerror(error), error);
}

void ReportFile::Commit(const ReportCollector& collector, std::span<const ReportMotif> motifs,
                        const ReportContext& context) {
  if (fd_ < 0) ThrowReportFault(path_, "the report was written once already", 0);
  int error = 0;
  try {
    WriteReport(collector, motifs, context, [&](std::string_view bytes) {
      while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
          error = written < 0 ? errno : EIO;
          throw WriteFailed();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
      }
    });
  } catch (const WriteFailed&) {
    Fail(error);
  }
  if (::fsync(fd_) != 0) Fail(errno);
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) Fail(errno);
  if (::rename(temporary_.c_str(), path_.c_str()) != 0) Fail(errno);
  temporary_.clear();
}

}  // namespace brisel
