// SPDX-License-Identifier: MIT
// fasta_split.cpp: the split pass and the FASTA it writes.
#include "sequences/fasta_split.h"

#include <optional>
#include <string_view>

#include "input/fasta_record_reader.h"
#include "input/reading_progress.h"
#include "sequences/fasta_reader.h"
#include "sequences/sequence_build.h"
#include "staging/block_file_writer.h"
#include "staging/build_error.h"
#include "staging/staged_files.h"

namespace brisel {

namespace {

constexpr std::size_t kPieceBuffer = std::size_t{1} << 20;

// Receives the records of the second pass and writes each into the piece of
// its shard, opening the next piece when the plan says so.
class PieceWriter {
 public:
  PieceWriter(StagedFiles& files, std::string prefix, ShardPlan plan, SequenceLimits limits)
      : files_(files), prefix_(std::move(prefix)), plan_(std::move(plan)), limits_(limits) {}

  void StartRecord(std::string_view name, const RecordPlace&) {
    if (!writer_ || plan_.CutBefore(records_, residues_)) {
      OpenPiece();
      // A first line that holds a carriage return inside is refused, as the
      // line of a file of carriage-return line ends: this one goes second.
      if (HoldsLoneCarriageReturn(name)) writer_->Append("\n", 1);
    }
    writer_->Append(">", 1);
    writer_->Append(name.data(), name.size());
    if (name.ends_with('\r')) writer_->Append("\r", 1);
    writer_->Append("\n", 1);
    ++records_;
    ++pieceRecords_;
    pieceNameChars_ += name.size();
    CheckLimits();
  }

  void AddResidues(std::string_view residues, const RecordPlace&) {
    if (residues.starts_with('>')) writer_->Append(" ", 1);
    writer_->Append(residues.data(), residues.size());
    writer_->Append("\n", 1);
    residues_ += residues.size();
    pieceResidues_ += residues.size();
    CheckLimits();
  }

  // Completes the last piece.
  void Finish() {
    if (writer_) writer_->Close();
  }

  std::uint64_t records() const { return records_; }
  std::uint64_t residues() const { return residues_; }
  std::uint64_t pieces() const { return pieces_; }

 private:
  void OpenPiece() {
    if (writer_) writer_->Close();
    ++pieces_;
    const std::string path = PiecePath(prefix_, pieces_);
    writer_.emplace(files_.Stage(path), path, kPieceBuffer);
    pieceRecords_ = pieceResidues_ = pieceNameChars_ = 0;
  }

  // A piece must build into one database, as its shard would.
  void CheckLimits() const {
    if (pieceRecords_ <= limits_.maxSequences && pieceResidues_ <= limits_.maxBlockLength &&
        pieceNameChars_ <= limits_.maxBlockLength) {
      return;
    }
    throw BuildError(PiecePath(prefix_, pieces_) +
                     ": more sequences, residues or name characters than one database holds "
                     "(use more --shards, or --shard-size)");
  }

  StagedFiles& files_;
  std::string prefix_;
  ShardPlan plan_;
  SequenceLimits limits_;
  std::optional<BlockFileWriter> writer_;
  std::uint64_t records_ = 0, residues_ = 0, pieces_ = 0;
  std::uint64_t pieceRecords_ = 0, pieceResidues_ = 0, pieceNameChars_ = 0;
};

}  // namespace

std::string PiecePath(const std::string& prefix, std::uint64_t piece) {
  return prefix + "." + std::to_string(piece) + ".fasta";
}

SplitSummary SplitSequences(const SequenceJob& job, SequenceLimits limits) {
  std::uint64_t censusRecords = 0, censusResidues = 0;
  ShardPlan plan = PlanShards(job, limits, censusRecords, censusResidues);
  InputFile input(job.input);
  StagedFiles files(job.root);
  PieceWriter writer(files, job.root, std::move(plan), limits);
  {
    ReadingProgress progress(job.quiet, input);
    FastaPieces pieces(input, progress);
    FillFrom(pieces, writer);
  }
  if (writer.records() != censusRecords || writer.residues() != censusResidues) {
    throw BuildError(input.name() + ": the input changed while it was read");
  }
  writer.Finish();
  files.Commit();
  return {writer.records(), writer.residues(), writer.pieces()};
}

}  // namespace brisel
