// SPDX-License-Identifier: MIT
// reading_frames.h: the six reading frames of a nucleotide record, sets of
// them, and the --frames argument.
//
// Frame +k (k = 1, 2, 3) reads the record's forward strand from k - 1 bases
// after its start; frame -k reads the reverse complement from k - 1 bases
// after its start, that is from k - 1 bases before the record's end. Codons
// are whole: a frame ignores the one or two bases left after its last whole
// codon, and a record shorter than k + 2 bases has no codon in frame +k or
// -k (an empty record has none in any frame).
//
// A ReadingFrame is one of the six, never anything else (its constructor is
// private; FromNumber and FromIndex check). A FrameSet is a subset of the six,
// always listed in the canonical order +1, +2, +3, -1, -2, -3 whatever the
// order in which its frames were given, so that output does not depend on how
// a user wrote the list. Both are small values, copied freely.
#ifndef BRISEL_TRANSLATION_READING_FRAMES_H
#define BRISEL_TRANSLATION_READING_FRAMES_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisel {

class ReadingFrame {
 public:
  // +1, +2, +3, -1, -2 or -3; std::nullopt for any other number.
  static constexpr std::optional<ReadingFrame> FromNumber(int number) {
    if (number == 0 || number < -3 || number > 3) return std::nullopt;
    return ReadingFrame(number);
  }
  // The frame at `index` (0 to 5) of the canonical order +1, +2, +3, -1, -2,
  // -3; an index out of that range gives +1.
  static constexpr ReadingFrame FromIndex(int index) {
    if (index >= 0 && index < 3) return ReadingFrame(index + 1);
    return index >= 3 && index < 6 ? ReadingFrame(2 - index) : ReadingFrame(1);
  }

  constexpr int number() const { return number_; }
  constexpr bool reverse() const { return number_ < 0; }
  // k - 1: the bases skipped before the frame's first codon on its strand.
  constexpr unsigned offset() const {
    return static_cast<unsigned>(reverse() ? -number_ : number_) - 1;
  }
  // The position in the canonical order, 0 to 5.
  constexpr int index() const { return reverse() ? 2 - number_ : number_ - 1; }
  // '+' or '-': the strand the frame reads.
  constexpr char strand() const { return reverse() ? '-' : '+'; }
  // "+1" ... "-3".
  std::string name() const;

  friend constexpr bool operator==(ReadingFrame, ReadingFrame) = default;

 private:
  constexpr explicit ReadingFrame(int number) : number_(static_cast<std::int8_t>(number)) {}
  std::int8_t number_;
};

class FrameSet {
 public:
  constexpr FrameSet() = default;
  static constexpr FrameSet All() { return FrameSet(0x3F); }
  static constexpr FrameSet Forward() { return FrameSet(0x07); }
  static constexpr FrameSet Reverse() { return FrameSet(0x38); }

  constexpr bool contains(ReadingFrame frame) const { return (bits_ >> frame.index() & 1) != 0; }
  constexpr void insert(ReadingFrame frame) {
    bits_ |= static_cast<std::uint8_t>(1 << frame.index());
  }
  constexpr bool empty() const { return bits_ == 0; }
  constexpr int size() const {
    int count = 0;
    for (int index = 0; index < 6; ++index)
      count += bits_ >> index & 1;
    return count;
  }
  // The frames of the set in canonical order.
  std::vector<ReadingFrame> frames() const;

  friend constexpr bool operator==(FrameSet, FrameSet) = default;

 private:
  constexpr explicit FrameSet(std::uint8_t bits) : bits_(bits) {}
  std::uint8_t bits_ = 0;
};

// The frames named by a --frames argument: "all" (the six), "forward" (+1,
// +2, +3), "reverse" (-1, -2, -3), or a comma-separated list of frames
// written 1, 2, 3 or +1, +2, +3 and -1, -2, -3, without spaces. A list that
// is empty or has an empty item, an item that is no frame, or a frame given
// twice (1 and +1 are the same frame) throws std::invalid_argument with a
// one-line message naming the fault, for the caller to prefix with the
// option, e.g. "'4' is not a frame: frames are +1, +2, +3, -1, -2, -3, or
// all, forward, reverse".
FrameSet ParseFrames(std::string_view argument);

}  // namespace brisel

#endif  // BRISEL_TRANSLATION_READING_FRAMES_H
