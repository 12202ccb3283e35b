// SPDX-License-Identifier: MIT
// frame_pieces.h: the work of a translated search: the nucleotide records of
// a source cut into pieces of their reading frames, and the search of a piece.
//
// Every stretch between stops of a frame (stretches.h) is searched as one
// protein sequence, whole, by the search of the piece in which it starts: a
// piece of frame f covers codons [begin, end) and searches each stretch whose
// first codon lies there (the frame's first codon, or one after a stop),
// translating past `end` as far as that stretch runs; the stretch that runs
// into the piece from before is the earlier piece's. So however a frame is
// cut, each stretch is searched once, with all its letters, and the pieces
// searched in order give the stretches in order. Stretches shorter than the
// plan's minimum length are passed over.
//
// The order of a search: records in input order; in each, the plan's frames
// in the order +1, +2, +3, -1, -2, -3; in each frame, its stretches in the
// direction of translation (a reverse frame from the record's end). A
// stretch's hits are the engine's order (search_engine.h). The sequence
// number of every stretch is its record's number (from 0), its name the
// record's name, and the row writer is told where it lies (HitPlacement).
//
// A record is cut into pieces of at most pieceCodons codons of one frame, so
// the threads of a search share a long record; a record without a codon in
// the plan's frames (shorter than three bases, or empty) is one empty piece,
// so that every record opens exactly one piece (its progress line).
//
// Ownership: the record is held by its pieces (shared, read-only) and freed
// with the last of them; a PieceSearch holds one worker's buffers: the
// translation of its piece (and of the stretch that runs past it) and the
// masks and lists of the stretch it searches. FramePieces reads its source on
// one thread at a time (the search's claim lock).
#ifndef BRISEL_PARALLEL_FRAME_PIECES_H
#define BRISEL_PARALLEL_FRAME_PIECES_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/search_engine.h"
#include "input/record_source.h"
#include "residues/residue_lists.h"
#include "translation/codon_table.h"
#include "translation/reading_frames.h"

namespace brisel {

// What a translated search translates and searches.
struct TranslationPlan {
  const CodonTable* table = nullptr;
  FrameSet frames = FrameSet::All();
  std::uint64_t minLength = 1;  // amino acids; 0 counts as 1
};

// One record as the pieces share it: its name as the rows take it (a
// database name) and its bases.
struct NucleotideRecord {
  std::string name;
  std::string bases;
  std::uint64_t number = 0;  // from 0, in input order
};

struct FramePiece {
  std::shared_ptr<const NucleotideRecord> record;
  ReadingFrame frame = ReadingFrame::FromIndex(0);
  std::uint64_t begin = 0;  // the codons whose stretches this piece searches
  std::uint64_t end = 0;
  bool opensRecord = false;  // the record's first piece
};

class FramePieces {
 public:
  // Reads `source`, which must outlive this object; records are cut into
  // pieces of at most `pieceCodons` codons (at least 1).
  FramePieces(RecordSource& source, const TranslationPlan& plan, std::uint64_t pieceCodons);

  const TranslationPlan& plan() const { return plan_; }

  // Fills `pieces` with the next pieces in order: at least one, and more
  // until they hold `codons` codons or open `records` records. False at the
  // end of the source.
  bool Next(std::vector<FramePiece>& pieces, std::uint64_t codons, std::uint64_t records);

 private:
  bool ReadRecord();

  RecordSource& source_;
  const TranslationPlan plan_;
  const std::vector<ReadingFrame> frames_;
  const std::uint64_t pieceCodons_;
  std::shared_ptr<const NucleotideRecord> current_;
  std::size_t frame_ = 0;    // the index in frames_ of the next piece's frame
  std::uint64_t codon_ = 0;  // its first codon
  bool opened_ = false;      // a piece of the current record was handed out
  std::uint64_t nextNumber_ = 0;
  bool ended_ = false;
};

// One worker's search of pieces.
class PieceSearch {
 public:
  // Searches each stretch that starts in `piece` with `worker`, appending the
  // rows to `out`.
  void Search(const FramePiece& piece, const TranslationPlan& plan, SearchEngine::Worker& worker,
              std::string& out);

 private:
  // Translates more of the frame after what letters_ holds, up to `codons`.
  void Extend(const FramePiece& piece, const TranslationPlan& plan, std::uint64_t codons);

  std::string letters_;      // codons first_ on of the piece's frame
  std::uint64_t first_ = 0;  // the codon of letters_[0]
  ListedText listed_;
};

}  // namespace brisel

#endif  // BRISEL_PARALLEL_FRAME_PIECES_H
