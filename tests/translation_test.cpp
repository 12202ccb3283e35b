// SPDX-License-Identifier: MIT
// The translation core against a slow reference: every reading of each codon
// enumerated from the IUPAC letters, the reverse complement built as a string,
// stretches cut by hand; over random records for every genetic code.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

#include "support/reference_translation.h"
#include "translation/codon_table.h"
#include "translation/frame_translation.h"
#include "translation/genetic_codes.h"
#include "translation/nucleotide_codes.h"
#include "translation/reading_frames.h"
#include "translation/stretches.h"

namespace brisel {
namespace {

std::string RandomRecord(std::mt19937_64& random, std::size_t length) {
  const std::string plain = "ACGTacgt";
  const std::string ambiguous = "UuRYSWKMBDHVNrysw kmbdhvn";
  std::string record;
  const bool messy = random() % 2 == 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (messy && random() % 4 == 0) {
      char c = ambiguous[random() % ambiguous.size()];
      record += c == ' ' ? 'N' : c;
    } else {
      record += plain[random() % plain.size()];
    }
  }
  return record;
}

TEST(TranslationProperty, FramesPiecesStretchesAndCoordinatesMatchTheReference) {
  std::mt19937_64 random(20240923);
  for (const GeneticCode& code : GeneticCodes()) {
    const CodonTable table(code);
    for (int round = 0; round < 60; ++round) {
      const std::size_t length = round < 8 ? round : random() % 400;
      const std::string record = RandomRecord(random, length);
      for (int index = 0; index < 6; ++index) {
        const ReadingFrame frame = ReadingFrame::FromIndex(index);
        const std::string expected = ReferenceFrame(code, record, frame.number());
        const std::string letters = TranslateFrame(table, record, frame);
        ASSERT_EQ(letters, expected)
            << "table " << code.id << " frame " << frame.name() << " of " << record;
        ASSERT_EQ(CodonCount(record.size(), frame), expected.size());

        // A random piece is the same letters as the whole frame's.
        const std::size_t first = random() % (expected.size() + 1);
        const std::size_t count = random() % (expected.size() - first + 1);
        std::string piece(count, '?');
        TranslateCodons(table, record, frame, first, piece);
        ASSERT_EQ(piece, expected.substr(first, count));

        // Stretches cut at the stops, and where each lies on the record.
        const std::uint64_t minLength = random() % 4;
        std::vector<Stretch> reference;
        std::size_t start = 0;
        for (std::size_t at = 0; at <= expected.size(); ++at) {
          if (at < expected.size() && expected[at] != '*') continue;
          if (at - start >= std::max<std::uint64_t>(minLength, 1))
            reference.push_back({frame, start, at - start});
          start = at + 1;
        }
        const std::vector<Stretch> stretches = FindStretches(letters, frame, 0, minLength);
        ASSERT_EQ(stretches, reference);
        for (const Stretch& stretch : stretches) {
          const RecordRange range =
              MapToRecord(frame, record.size(), stretch.first, stretch.first + stretch.length);
          ASSERT_LE(range.start, range.end);
          ASSERT_LE(range.end, record.size());
          ASSERT_EQ(range.strand, frame.strand());
          ASSERT_EQ((frame.reverse() ? record.size() - range.end : range.start - 1) % 3,
                    frame.offset());
          const std::string bases = record.substr(range.start - 1, range.end - range.start + 1);
          ASSERT_EQ(ReferenceFrame(code, bases, frame.reverse() ? -1 : 1),
                    expected.substr(stretch.first, stretch.length));
        }
      }
    }
  }
}

TEST(CodonTable, AmbiguousCodonsAgreeStopOrBecomeX) {
  const CodonTable standard(GeneticCodeById(1));
  const auto forward = [&](const char* codon) {
    return standard.Forward(
        CodonIndex(NucleotideMask(codon[0]), NucleotideMask(codon[1]), NucleotideMask(codon[2])));
  };
  EXPECT_EQ(forward("GCN"), 'A');
  EXPECT_EQ(forward("tar"), '*');
  EXPECT_EQ(forward("TRA"), '*');
  EXPECT_EQ(forward("YTR"), 'L');
  EXPECT_EQ(forward("MGR"), 'R');
  EXPECT_EQ(forward("TAN"), 'X');  // Y or stop
  EXPECT_EQ(forward("NNN"), 'X');
  EXPECT_EQ(forward("AU?"), 'X');  // no nucleotide: no reading
  // TGA is Trp in the vertebrate mitochondrial code, so TRA is no longer a stop.
  const CodonTable mitochondrial(GeneticCodeById(2));
  EXPECT_EQ(mitochondrial.Forward(CodonIndex(kBaseT, kBaseA | kBaseG, kBaseA)), 'X');
}

// Each table's differences from the standard code, as NCBI's page lists them.
TEST(GeneticCodes, EachTableDiffersFromTheStandardCodeWhereNcbiSays) {
  const std::map<int, std::map<std::string, char>> differences = {
      {1, {}},
      {2, {{"AGA", '*'}, {"AGG", '*'}, {"ATA", 'M'}, {"TGA", 'W'}}},
      {3, {{"ATA", 'M'}, {"CTT", 'T'}, {"CTC", 'T'}, {"CTA", 'T'}, {"CTG", 'T'}, {"TGA", 'W'}}},
      {4, {{"TGA", 'W'}}},
      {5, {{"AGA", 'S'}, {"AGG", 'S'}, {"ATA", 'M'}, {"TGA", 'W'}}},
      {6, {{"TAA", 'Q'}, {"TAG", 'Q'}}},
      {9, {{"AAA", 'N'}, {"AGA", 'S'}, {"AGG", 'S'}, {"TGA", 'W'}}},
      {10, {{"TGA", 'C'}}},
      {11, {}},
      {12, {{"CTG", 'S'}}},
      {13, {{"AGA", 'G'}, {"AGG", 'G'}, {"ATA", 'M'}, {"TGA", 'W'}}},
      {14, {{"AAA", 'N'}, {"AGA", 'S'}, {"AGG", 'S'}, {"TAA", 'Y'}, {"TGA", 'W'}}},
      {15, {{"TAG", 'Q'}}},
      {16, {{"TAG", 'L'}}},
      {21, {{"TGA", 'W'}, {"ATA", 'M'}, {"AGA", 'S'}, {"AGG", 'S'}, {"AAA", 'N'}}},
      {22, {{"TCA", '*'}, {"TAG", 'L'}}},
      {23, {{"TTA", '*'}}},
      {24, {{"AGA", 'S'}, {"AGG", 'K'}, {"TGA", 'W'}}},
      {25, {{"TGA", 'G'}}},
      {26, {{"CTG", 'A'}}},
      {27, {{"TAG", 'Q'}, {"TAA", 'Q'}, {"TGA", 'W'}}},
      {28, {{"TAA", 'Q'}, {"TAG", 'Q'}, {"TGA", 'W'}}},
      {29, {{"TAA", 'Y'}, {"TAG", 'Y'}}},
      {30, {{"TAA", 'E'}, {"TAG", 'E'}}},
      {31, {{"TGA", 'W'}, {"TAG", 'E'}, {"TAA", 'E'}}},
      {32, {{"TAG", 'W'}}},
      {33, {{"TAA", 'Y'}, {"TGA", 'W'}, {"AGA", 'S'}, {"AGG", 'K'}}},
  };
  ASSERT_EQ(GeneticCodes().size(), differences.size());
  const GeneticCode& standard = GeneticCodeById(1);
  EXPECT_EQ(standard.aminoAcids,
            "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG");
  for (const GeneticCode& code : GeneticCodes()) {
    const auto& changed = differences.at(code.id);
    for (const char* b1 = "TCAG"; *b1 != 0; ++b1)
      for (const char* b2 = "TCAG"; *b2 != 0; ++b2)
        for (const char* b3 = "TCAG"; *b3 != 0; ++b3) {
          const std::string codon = {*b1, *b2, *b3};
          const auto change = changed.find(codon);
          EXPECT_EQ(
              ReferenceCodon(code, *b1, *b2, *b3),
              change != changed.end() ? change->second : ReferenceCodon(standard, *b1, *b2, *b3))
              << "table " << code.id << " codon " << codon;
        }
  }
}

TEST(GeneticCodes, UnknownIdsAreRefusedWithTheListOfValidOnes) {
  EXPECT_EQ(GeneticCodeIdList(),
            "1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 21, 22, 23, 24, 25, 26, 27, 28, 29, "
            "30, 31, 32, 33");
  EXPECT_EQ(ParseGeneticCode("11").name, "Bacterial, Archaeal and Plant Plastid");
  EXPECT_EQ(FindGeneticCode(7), nullptr);
  try {
    GeneticCodeById(7);
    FAIL() << "table 7 accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), ("there is no genetic code 7: NCBI's translation tables are " +
                                GeneticCodeIdList())
                                   .c_str());
  }
  for (const char* word : {"", "0", "7", "34", "+1", "-1", "1 ", "1x", "99999999999"})
    EXPECT_THROW(ParseGeneticCode(word), std::invalid_argument) << word;
}

TEST(NucleotideCodes, LettersOfBothCasesOtherBytesAndComplements) {
  EXPECT_EQ(NucleotideMask('u'), kBaseT);
  EXPECT_EQ(NucleotideMask('n'), 15);
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    EXPECT_EQ(IsNucleotideLetter(c), kBasesOf.count(Upper(c)) == 1) << byte;
    if (!IsNucleotideLetter(c)) continue;
    std::uint8_t mask = 0;
    for (char base : kBasesOf.at(Upper(c)))
      mask |= NucleotideMask(base);
    EXPECT_EQ(NucleotideMask(c), mask) << c;
    EXPECT_EQ(ComplementMask(NucleotideMask(c)), NucleotideMask(kComplementOf.at(Upper(c)))) << c;
  }
  EXPECT_EQ(FindNonNucleotide("ACGTNacgtnRYKMSWBDHVU"), std::string_view::npos);
  EXPECT_EQ(FindNonNucleotide("ACGTACGTACGTACGT-A"), 16u);
  EXPECT_EQ(FindNonNucleotide("AC GT"), 2u);
  EXPECT_EQ(FindNonNucleotide(""), std::string_view::npos);
}

TEST(ReadingFrames, ParsedInCanonicalOrderWithDuplicatesAndBadItemsRefused) {
  const auto names = [](std::string_view argument) {
    std::string joined;
    for (ReadingFrame frame : ParseFrames(argument).frames())
      joined += frame.name() + " ";
    return joined;
  };
  EXPECT_EQ(names("all"), "+1 +2 +3 -1 -2 -3 ");
  EXPECT_EQ(names("forward"), "+1 +2 +3 ");
  EXPECT_EQ(names("reverse"), "-1 -2 -3 ");
  EXPECT_EQ(names("-2,1"), "+1 -2 ");
  EXPECT_EQ(names("+3,-3,2"), "+2 +3 -3 ");
  for (int index = 0; index < 6; ++index)
    EXPECT_EQ(ReadingFrame::FromIndex(index).index(), index);
  EXPECT_EQ(ReadingFrame::FromIndex(6).number(), 1);
  for (const char* bad : {"", "0", "4", "-0", "+-1", "1,", ",1", "1,,2", "1 ,2", "All", "f", "12"})
    EXPECT_THROW(ParseFrames(bad), std::invalid_argument) << bad;
  try {
    ParseFrames("1,-2,+1");
    FAIL() << "a duplicate accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "frame +1 is given twice in '1,-2,+1'");
  }
  try {
    ParseFrames("1,4");
    FAIL() << "frame 4 accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(),
                 "'4' is not a frame: frames are +1, +2, +3, -1, -2, -3, or all, forward, reverse");
  }
}

TEST(FrameTranslation, PiecesPastTheFrameAreRefused) {
  const CodonTable table(GeneticCodeById(1));
  std::string out(2, '?');
  const ReadingFrame minusThree = *ReadingFrame::FromNumber(-3);
  EXPECT_NO_THROW(TranslateCodons(table, "ACGTACGT", minusThree, 0, out));  // 2 codons
  EXPECT_THROW(TranslateCodons(table, "ACGTACGT", minusThree, 1, out), std::out_of_range);
  EXPECT_EQ(CodonCount(4, minusThree), 0u);
  EXPECT_EQ(TranslateFrame(table, "AC", *ReadingFrame::FromNumber(1)), "");
}

}  // namespace
}  // namespace brisel
