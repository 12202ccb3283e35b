// SPDX-License-Identifier: MIT
// residue_codes.h: one sequence's residues as the engine's pass reads them.
//
// Each residue is a letter code: 'A' to 'Z' as 0 to 25, kNoLetter (26) for a
// residue that matches nothing; and the class of its code, which windows are
// coded with. Both are padded on both sides (kCodePaddingBefore before the
// first residue, kCodePaddingAfter after the last), the codes with kNoLetter
// and the classes with kOtherClass, so that the pass reads windows that run
// past either end, and the checks of candidates that do not fit the sequence,
// without testing bounds: padding matches no motif position.
//
// A database sequence can be served only when each residue mask is one
// letter's bit or 0 and each letter position list holds exactly the ascending
// positions of its letter, the conditions under which the engine's homing test
// (the residue at the homing position is a homing letter) is the letter
// position lists' own. FromListedSequence checks both at about the speed at
// which the masks and lists are read: the masks become codes in one pass, and
// the lists (one after the other) in another, in which each entry's position
// must hold its list's letter and be above the entry before it in its list.
// Together with the number of list entries being the number of letters, that
// proves every list exact (see the .cpp).
//
// Ownership: a ResidueCodes owns its buffers and reuses them from one sequence
// to the next (a worker holds one); the view it returns is valid until the
// next call.
#ifndef BRISEL_ENGINE_RESIDUE_CODES_H
#define BRISEL_ENGINE_RESIDUE_CODES_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "matching/per_motif_walks.h"

namespace brisel {

inline constexpr std::uint8_t kNoLetter = 26;

// Windows are coded over classes of letters: each of the 20 letters with a
// background frequency is a class of its own (0 to 19, in alphabetical
// order), and every other code (B, J, O, U, X, Z and kNoLetter) is
// kOtherClass. A window is a filter, so merging the rare letters costs no
// more than a few candidates more, and a table of four classes (21^4 codes)
// keeps its bitmap of used codes within the first-level cache.
inline constexpr std::uint8_t kOtherClass = 20;
inline constexpr std::uint32_t kClassRadix = 21;

constexpr std::uint8_t ClassOf(std::uint8_t code) {
  constexpr std::uint8_t kRare[] = {1, 9, 14, 20, 23, 25};  // B, J, O, U, X, Z
  std::uint8_t below = 0;
  for (const std::uint8_t rare : kRare) {
    if (code == rare) return kOtherClass;
    below += code > rare ? 1 : 0;
  }
  return code >= kNoLetter ? kOtherClass : static_cast<std::uint8_t>(code - below);
}

// ClassOf every code from 0 to 31 (those above kNoLetter are kOtherClass).
struct ClassTable {
  std::uint8_t of[32];
  constexpr ClassTable() : of() {
    for (int code = 0; code < 32; ++code)
      of[code] = ClassOf(static_cast<std::uint8_t>(code));
  }
};
inline constexpr ClassTable kClassTable;

// The classes that a letter mask admits, as a mask of 21 bits.
std::uint32_t ClassMask(std::uint32_t letters);

// The engine reads codes up to this far before a window and after its start.
inline constexpr std::uint64_t kCodePaddingBefore = 128;
inline constexpr std::uint64_t kCodePaddingAfter = 256;

// The kernels that prepare a database sequence (pass_kernels.h): codes and
// classes from residue masks, and the check of the letter position lists:
// non-zero when some of `count` list entries (in list order, entry i in the
// list of letters[i]) holds a position whose code (codes[position], or
// kNoLetter from `length` on) is not its list's letter, or is not above the
// one before it in the same list.
using CodesFromMasksKernel = std::uint32_t (*)(const std::uint32_t* masks, std::uint64_t count,
                                               std::uint8_t* codes, std::uint8_t* classes,
                                               std::uint64_t& blanks);
using ListsDisagreeKernel = std::uint32_t (*)(const std::uint32_t* positions,
                                              const std::uint8_t* letters, std::uint64_t count,
                                              const std::uint8_t* codes, std::uint64_t length);
struct ResidueKernels {
  CodesFromMasksKernel codesFromMasks;
  ListsDisagreeKernel listsDisagree;
};

class ResidueCodes {
 public:
  // The codes of a database sequence, from its residue masks, through
  // `kernels`; false when the index cannot serve it (a mask that is neither
  // one letter nor 0, or letter position lists that are not exactly the
  // residues' own).
  bool FromListedSequence(const ListedSequence& sequence, const ResidueKernels& kernels);

  // The codes of a text ('A' to 'Z' and 'a' to 'z' are letters, every other
  // byte none), and its letter masks in `masks`.
  void FromText(std::string_view text, std::vector<std::uint32_t>& masks);

  // The first residue's code; codes()[-kCodePaddingBefore] to
  // codes()[length() + kCodePaddingAfter - 1] may be read. The same for its
  // class.
  const std::uint8_t* codes() const { return buffer_.data() + kCodePaddingBefore; }
  const std::uint8_t* classes() const { return classes_.data() + kCodePaddingBefore; }
  std::uint64_t length() const { return length_; }

 private:
  std::uint8_t* Resize(std::uint64_t length);
  std::uint8_t* Classes() { return classes_.data() + kCodePaddingBefore; }

  std::vector<std::uint8_t> buffer_;
  std::vector<std::uint8_t> classes_;
  std::vector<std::uint8_t> letters_;  // of each list entry
  std::uint64_t length_ = 0;
};

}  // namespace brisel

#endif  // BRISEL_ENGINE_RESIDUE_CODES_H
