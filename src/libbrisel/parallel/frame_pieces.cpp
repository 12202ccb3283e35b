// SPDX-License-Identifier: MIT
// frame_pieces.cpp: records cut into frame pieces, and the search of a piece.
#include "parallel/frame_pieces.h"

#include <algorithm>
#include <span>

#include "translation/frame_translation.h"

namespace brisel {

namespace {

constexpr std::size_t kKeptLetters = std::size_t{16} << 20;

}  // namespace

FramePieces::FramePieces(RecordSource& source, const TranslationPlan& plan,
                         std::uint64_t pieceCodons)
    : source_(source),
      plan_(plan),
      frames_(plan.frames.frames()),
      pieceCodons_(std::max<std::uint64_t>(pieceCodons, 1)) {}

bool FramePieces::ReadRecord() {
  SequenceRecord read;
  if (ended_ || !source_.Next(read)) {
    ended_ = true;
    return false;
  }
  auto record = std::make_shared<NucleotideRecord>();
  record->name = std::move(read.name);
  record->bases = std::move(read.text);
  record->number = nextNumber_++;
  current_ = std::move(record);
  frame_ = 0;
  codon_ = 0;
  opened_ = false;
  return true;
}

bool FramePieces::Next(std::vector<FramePiece>& pieces, std::uint64_t codons,
                       std::uint64_t records) {
  pieces.clear();
  std::uint64_t held = 0;
  std::uint64_t opened = 0;
  while (pieces.empty() || (held < codons && opened < records)) {
    if (current_ == nullptr && !ReadRecord()) break;
    if (frame_ == frames_.size()) {
      // Every frame handed out; a record without codons still opens a piece.
      if (!opened_) {
        pieces.push_back({current_, ReadingFrame::FromIndex(0), 0, 0, true});
        ++opened;
      }
      current_.reset();
      continue;
    }
    const ReadingFrame frame = frames_[frame_];
    const std::uint64_t count = CodonCount(current_->bases.size(), frame);
    if (codon_ >= count) {
      ++frame_;
      codon_ = 0;
      continue;
    }
    const std::uint64_t end = codon_ + std::min(count - codon_, pieceCodons_);
    pieces.push_back({current_, frame, codon_, end, !opened_});
    if (!opened_) ++opened;
    opened_ = true;
    held += end - codon_;
    codon_ = end;
  }
  return !pieces.empty();
}

void PieceSearch::Extend(const FramePiece& piece, const TranslationPlan& plan,
                         std::uint64_t codons) {
  const std::uint64_t from = first_ + letters_.size();
  const std::size_t held = letters_.size();
  letters_.resize(held + (codons - from));
  TranslateCodons(*plan.table, piece.record->bases, piece.frame, from,
                  std::span<char>(letters_).subspan(held));
}

void PieceSearch::Search(const FramePiece& piece, const TranslationPlan& plan,
                         SearchEngine::Worker& worker, std::string& out) {
  if (piece.begin >= piece.end) return;
  const NucleotideRecord& record = *piece.record;
  const std::uint64_t count = CodonCount(record.bases.size(), piece.frame);
  const std::uint64_t minLength = std::max<std::uint64_t>(plan.minLength, 1);
  // The codon before the piece says whether a stretch starts at its first.
  first_ = piece.begin > 0 ? piece.begin - 1 : 0;
  letters_.clear();
  Extend(piece, plan, piece.end);

  // The next stop at or after codon `at`, translating further as needed;
  // `count` when the frame ends first.
  const auto stopFrom = [&](std::uint64_t at) {
    for (;;) {
      const std::size_t found = letters_.find(kStopLetter, at - first_);
      if (found != std::string::npos) return first_ + found;
      const std::uint64_t held = first_ + letters_.size();
      if (held == count) return count;
      Extend(piece, plan, std::min(count, held + std::max<std::uint64_t>(held - first_, 4096)));
    }
  };

  std::uint64_t start = piece.begin;
  if (piece.begin > 0) {
    // The stretch that runs into the piece, if any, is the earlier piece's.
    const std::size_t stop = letters_.find(kStopLetter);
    if (stop == std::string::npos) return;
    start = first_ + stop + 1;
  }
  while (start < piece.end) {
    const std::uint64_t stop = stopFrom(start);
    if (stop - start >= minLength) {
      const std::string_view text = std::string_view(letters_).substr(start - first_, stop - start);
      listed_.Form(text);
      worker.lineState().placement = {piece.frame, start, record.bases.size()};
      worker.SearchListedSequence(
          record.number, record.name,
          {listed_.length(), listed_.masks(), listed_.lists(), listed_.positions()}, text, out);
    }
    start = stop + 1;
  }
  // The translation of a stretch far longer than a piece is not kept.
  if (letters_.capacity() > kKeptLetters) std::string().swap(letters_);
}

}  // namespace brisel
