// SPDX-License-Identifier: MIT
// The row writers of the three output formats: the fields of each row, the
// escaping of names, records and segments, texts cut at their first NUL and
// texts of any length; and the progress line.
#include "output/hit_lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "output/progress_line.h"

using namespace brisel;

namespace {

// A motif database in memory with the given records and specificities.
class Motifs {
 public:
  Motifs(std::vector<std::string> records, std::vector<double> specificities)
      : specificities_(std::move(specificities)) {
    recordIndices_.push_back(0);
    for (const std::string& record : records) {
      text_ += record;
      recordIndices_.push_back(static_cast<std::uint32_t>(text_.size()));
    }
    blocks_.specificities = specificities_.data();
    blocks_.records = text_.data();
    blocks_.recordIndices = recordIndices_.data();
    blocks_.counts = {static_cast<std::uint32_t>(records.size()), 0,
                      static_cast<std::uint32_t>(text_.size())};
  }
  const MotifViews& blocks() const { return blocks_; }

 private:
  std::vector<double> specificities_;
  std::string text_;
  std::vector<std::uint32_t> recordIndices_;
  MotifViews blocks_{};
};

// The report of one sequence with hits of motif 0 at the given starts.
std::string Report(const HitLineFormatter& rows, std::string_view name, NameKind kind,
                   const HitStatistics& statistics, std::string_view segment,
                   std::vector<std::uint64_t> starts, std::uint32_t motif = 0) {
  std::string out;
  HitLineFormatter::SequenceState state;
  rows.BeginSequence(out, state, 0, name, kind);
  for (const std::uint64_t start : starts)
    rows.AppendHitLine(out, state, statistics, motif, segment, start);
  return out;
}

TEST(HitLines, EachFormatWritesItsFields) {
  const Motifs motifs({"R", "PS1 a;b=c\td"}, {0.001, 2.5e-3});
  const HitStatistics statistics{0.007, std::pow(0.999, 7.0)};
  EXPECT_EQ(Report(*MakePipeRows(motifs.blocks()), "seq 1", NameKind::kDatabase, statistics, "KLM",
                   {2, 6}),
            ">seq 1\n7.00e-03|0.993|1.000e-03|R|KLM|3|5\n7.00e-03|0.993|1.000e-03|R|KLM|7|9\n");
  EXPECT_EQ(Report(*MakePipeRows(motifs.blocks()), ">fa\tline", NameKind::kFastaLine, statistics,
                   "KLM", {0}),
            ">fa\tline\n7.00e-03|0.993|1.000e-03|R|KLM|1|3\n");
  EXPECT_EQ(Report(*MakePipeRows(motifs.blocks()), "", NameKind::kNone, statistics, "KLM", {0}),
            "7.00e-03|0.993|1.000e-03|R|KLM|1|3\n");
  EXPECT_EQ(Report(*MakeTsvRows(motifs.blocks()), ">a\\b\tc", NameKind::kFastaLine, statistics,
                   "K\nM", {4}, 1),
            "a\\\\b\\tc\t5\t7\tPS1 a;b=c\\td\tK\\nM\t2.500e-03\t7.00e-03\t0.993\n");
  EXPECT_EQ(Report(*MakeGff3Rows(motifs.blocks()), "sp|P1 x;y", NameKind::kDatabase, statistics,
                   "K%M", {4}, 1),
            "sp|P1\tbrisel\tpolypeptide_motif\t5\t7\t7.00e-03\t.\t.\tName=PS1;Note=PS1 "
            "a%3Bb%3Dc%09d;specificity=2.500e-03;segment=K%25M;p_no_random_hit=0.993\n");
  EXPECT_EQ(Report(*MakeGff3Rows(motifs.blocks()), "", NameKind::kNone, statistics, "KLM", {0}),
            "sequence\tbrisel\tpolypeptide_motif\t1\t3\t7.00e-03\t.\t.\tName=R;Note=R;"
            "specificity=1.000e-03;segment=KLM;p_no_random_hit=0.993\n");
}

TEST(HitLines, TextsEndAtTheirFirstNulAndTheEndCountsTheWholeSegment) {
  const Motifs motifs({std::string("re\0c", 4)}, {0.5});
  EXPECT_EQ(Report(*MakePipeRows(motifs.blocks()), std::string("n\0m", 3), NameKind::kDatabase,
                   HitStatistics{}, std::string_view("A\0C", 3), {9}),
            ">n\n0.00e+00|1.000|5.000e-01|re|A|10|12\n");
}

TEST(HitLines, TextsOfAnyLengthAreWrittenWhole) {
  for (const double probability : {0.5, -1.0e300}) {
    for (const std::size_t segmentLength : {0, 1, 700, 5000}) {
      const std::string segment(segmentLength, 'S');
      for (const std::size_t recordLength : {0, 1, 1023, 1024, 100000}) {
        const std::string record(recordLength, 'R');
        const Motifs motifs({record}, {2.5e-3});
        char numbers[400];
        std::snprintf(numbers, sizeof numbers, "%.2e|%.3f|%.3e|", 1.5e-7, probability, 2.5e-3);
        ASSERT_EQ(
            Report(*MakePipeRows(motifs.blocks()), "", NameKind::kNone,
                   HitStatistics{1.5e-7, probability}, segment, {41}),
            numbers + record + "|" + segment + "|42|" + std::to_string(41 + segmentLength) + "\n");
      }
    }
  }
}

TEST(ReadingProgress, EndsInACarriageReturn) {
  std::string err;
  AppendProgressLine(err, 12);
  AppendProgressLine(err, 18446744073709551615u);
  EXPECT_EQ(err, "Processing Sequence 12\rProcessing Sequence 18446744073709551615\r");
}

}  // namespace
