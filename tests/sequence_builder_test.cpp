// SPDX-License-Identifier: MIT
// The streamed sequence database against the reference writer of the tests,
// whether a sequence's letter lists are sorted in memory or from its text read
// back; the limits of one database; and the shard plans.
#include "sequences/sequence_builder.h"

#include <gtest/gtest.h>

#include <random>

#include "sequences/sequence_build.h"
#include "sequences/shard_plan.h"
#include "staging/build_error.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

constexpr const char* kBlocks[] = {"-stats",
                                   "-names.bin",
                                   "-nameIndices.bin",
                                   "-textSequences.bin",
                                   "-bitSequences.bin",
                                   "-sequenceIndices.bin",
                                   "-offsets.bin",
                                   "-offsetIndices.bin"};

// Random records: names of any byte but newlines, texts of letters in both
// cases and some other characters; one text is long and mostly one letter, and
// one name is longer than a piece of input.
std::vector<TestSequence> RandomSequences(unsigned seed) {
  std::mt19937 random(seed);
  const std::string alphabet = "ACDEFGHIKLMNPQRSTVWYXBZUOJacdefwy*-.0\x80\xff";
  std::vector<TestSequence> sequences(40);
  for (std::size_t s = 0; s < sequences.size(); ++s) {
    TestSequence& sequence = sequences[s];
    sequence.name = "seq" + std::to_string(s) + (s % 3 == 0 ? " desc|x\t" : "");
    const std::size_t length = s == 7 ? 70000 : random() % 200;
    for (std::size_t p = 0; p < length; ++p) {
      sequence.text += s == 7 && random() % 4 != 0 ? 'A' : alphabet[random() % alphabet.size()];
    }
  }
  sequences[5].text.clear();
  sequences[9].name = std::string(InputFile::kMaxPiece + 10, 'n');
  return sequences;
}

// The records as FASTA of 60-residue lines, or of one line each with CRLF line
// ends and none after the last line.
std::string Fasta(const std::vector<TestSequence>& sequences, bool wrapped) {
  if (!wrapped) {
    std::string fasta;
    for (const TestSequence& s : sequences)
      fasta += (fasta.empty() ? ">" : "\r\n>") + s.name + "\r\n" + s.text;
    return fasta;
  }
  std::string fasta;
  for (const TestSequence& s : sequences) {
    fasta += ">" + s.name + "\n";
    for (std::size_t p = 0; p < s.text.size(); p += 60)
      fasta += s.text.substr(p, 60) + "\n";
  }
  return fasta;
}

SequenceJob SequenceOptions(const TempDir& dir) {
  return {dir / "in.fa", dir / "db"};
}

TEST(StreamedSequenceDatabase, EqualsTheReferenceWhetherListsAreHeldOrReadBack) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    const std::vector<TestSequence> sequences = RandomSequences(seed);
    TempDir dir;
    WriteSequenceDatabase(dir / "ref", sequences);
    WriteFile(dir / "in.fa", Fasta(sequences, seed != 2));
    // Held in memory; read back for every sequence longer than 7 residues;
    // read back for every sequence.
    for (const std::size_t held : {kDefaultHeldResidues, std::size_t{7}, std::size_t{0}}) {
      const SequenceBuildSummary summary =
          BuildSequenceDatabases(SequenceOptions(dir), SequenceLimits{}, held);
      EXPECT_EQ(summary.sequences, sequences.size());
      EXPECT_EQ(summary.shards, 0u);
      for (const char* block : kBlocks) {
        EXPECT_TRUE(ReadFile(dir / "db" + block) == ReadFile(dir / "ref" + block))
            << block << " with seed " << seed << ", held " << held;
      }
    }
  }
}

// The message of the failed build, and what it left in the directory.
std::pair<std::string, std::vector<std::string>> FailedBuild(std::string_view fasta,
                                                             SequenceLimits limits,
                                                             std::uint64_t shards = 0) {
  TempDir dir;
  WriteFile(dir / "in.fa", fasta);
  SequenceJob options = SequenceOptions(dir);
  options.shards = shards;
  std::string message = "no error";
  try {
    BuildSequenceDatabases(options, limits);
  } catch (const BuildError& error) {
    message = error.what();
    message.erase(0, message.find(':') + 1);
  }
  return {message, ListDirectory(dir.path())};
}

TEST(SequenceLimits, PassingALimitNamesTheShardOptionsAndWritesNothing) {
  const std::vector<std::string> onlyInput = {"in.fa"};
  EXPECT_EQ(FailedBuild(">a\nA\n>b\nC\n>c\nD\n", {2, 100}),
            std::make_pair(std::string("5: more than 2 sequences (split the input with --shards "
                                       "or --shard-size)"),
                           onlyInput));
  EXPECT_EQ(FailedBuild(">a\n" + std::string(3 * InputFile::kMaxPiece, 'A') + "\n>b\nC\n>c\nD\n",
                        {2, 1000000})
                .first,
            "5: more than 2 sequences (split the input with --shards or --shard-size)")
      << "a line read in pieces counts once";
  EXPECT_EQ(FailedBuild(">a\nACDEF\n>b\nGHIKL\nM\n", {100, 10}).first,
            "5: more than 10 residues in all (split the input with --shards or --shard-size)");
  EXPECT_EQ(FailedBuild(">abcdef\nA\n>ghijk\nC\n", {100, 10}).first,
            "3: names longer than 10 characters in all (split the input with --shards or "
            "--shard-size)");
  EXPECT_EQ(FailedBuild(">abcde\nACDEF\n>fghij\nGHIKL\n", {100, 10}).first, "no error");
  // 19 residues would fit two shards evenly, but the first shard ends after
  // the record that reaches half of them: 5 + 4 + 2 residues.
  const auto [message, left] =
      FailedBuild(">a\nAAAAA\n>b\nCCCC\n>c\nDD\n>d\nEEEEEEEE\n", {100, 10}, 2);
  EXPECT_EQ(message,
            "6: more than 10 residues in all in shard 1 (use more --shards, or --shard-size)");
  EXPECT_EQ(left, onlyInput);
  EXPECT_EQ(FailedBuild(">a\nAAAAAA\n>b\nCCCCCC\n>c\nDDDDDD\n>d\nEEEEEE\n", {100, 10}, 2).first,
            " 2 shards cannot hold its 4 sequences and 24 residues (use more --shards, or "
            "--shard-size)");
}

// Record lengths of a shard plan's tests.
std::vector<std::uint64_t> RandomLengths(std::mt19937& random, std::size_t count) {
  std::vector<std::uint64_t> lengths(count);
  for (std::uint64_t& length : lengths)
    length = random() % 5 == 0 ? random() % 5000 : random() % 300;
  return lengths;
}

// The first record of each shard that `plan` makes of `lengths`.
std::vector<std::size_t> Starts(ShardPlan plan, const std::vector<std::uint64_t>& lengths) {
  std::vector<std::size_t> starts = {0};
  std::uint64_t before = 0;
  for (std::size_t r = 0; r < lengths.size(); ++r) {
    if (r > 0 && plan.CutBefore(r, before)) starts.push_back(r);
    before += lengths[r];
  }
  return starts;
}

TEST(ShardPlan, ByCountFillsEveryShardAndEndsEachAtItsShareOfTheResidues) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 300; ++trial) {
    const std::vector<std::uint64_t> lengths = RandomLengths(random, 1 + random() % 60);
    const std::uint64_t shards = 1 + random() % lengths.size();
    std::uint64_t total = 0;
    for (std::uint64_t length : lengths)
      total += length;
    const std::vector<std::size_t> starts =
        Starts(ShardPlan::ByCount(shards, lengths.size(), total), lengths);
    ASSERT_EQ(starts.size(), shards);
    for (std::size_t k = 1; k < starts.size(); ++k) {
      ASSERT_LT(starts[k - 1], starts[k]) << "an empty shard";
      // Shard k ends with the first record reaching k/N of the residues,
      // unless each record left must open a shard.
      std::uint64_t before = 0;
      for (std::size_t r = 0; r < starts[k]; ++r)
        before += lengths[r];
      const bool forced = lengths.size() - starts[k] == shards - k;
      const bool reached = before * shards >= k * total;
      const bool firstReaching =
          (before - lengths[starts[k] - 1]) * shards < k * total || starts[k] - 1 == starts[k - 1];
      EXPECT_TRUE(forced || (reached && firstReaching)) << "trial " << trial << " shard " << k;
    }
  }
}

TEST(ShardPlan, BySizeFillsEachShardAsFarAsTheCapAllows) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 300; ++trial) {
    const std::vector<std::uint64_t> lengths = RandomLengths(random, 1 + random() % 60);
    const std::uint64_t cap = 5000 + random() % 20000;
    TempDir dir;
    std::string fasta;
    for (std::size_t r = 0; r < lengths.size(); ++r)
      fasta += ">r" + std::to_string(r) + "\n" + std::string(lengths[r], 'W') + "\n";
    WriteFile(dir / "in.fa", fasta);
    InputFile input(dir / "in.fa");
    ReadingProgress progress(true, input);
    InputCensus census(cap, SequenceLimits{});
    FastaPieces pieces(input, progress);
    FillFrom(pieces, census);
    census.Finish();
    std::vector<std::size_t> starts = Starts(ShardPlan::ByCuts(census.cuts()), lengths);
    starts.push_back(lengths.size());
    for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
      std::uint64_t residues = 0;
      for (std::size_t r = starts[k]; r < starts[k + 1]; ++r)
        residues += lengths[r];
      EXPECT_LE(residues, cap);
      if (starts[k + 1] < lengths.size()) {
        EXPECT_GT(residues + lengths[starts[k + 1]], cap) << "the next record would have fit";
      }
    }
  }
}

TEST(ShardPlan, BySizeRefusesARecordLongerThanTheCap) {
  TempDir dir;
  WriteFile(dir / "in.fa", ">a\nAAAA\n>long one\nCCCCC\nCC\n>c\nA\n");
  InputFile input(dir / "in.fa");
  ReadingProgress progress(true, input);
  InputCensus census(6, SequenceLimits{});
  try {
    FastaPieces pieces(input, progress);
    FillFrom(pieces, census);
    census.Finish();
    FAIL() << "no error";
  } catch (const BuildError& error) {
    EXPECT_EQ(std::string(error.what()), (dir / "in.fa") +
                                             ":3: sequence 'long one' has 7 "
                                             "residues, more than the --shard-size "
                                             "of 6");
  }
}

}  // namespace
