// The limits of a sequence database are found while reading, before anything
// is written.
#include "sequence_builder.h"

#include <gtest/gtest.h>

#include "build_error.h"
#include "fasta_reader.h"
#include "support/temp_dir.h"

namespace {

std::string BuildError_(std::string_view fasta, SequenceLimits limits) {
  TempDir dir;
  WriteFile(dir / "in.fa", fasta);
  InputFile input(dir / "in.fa");
  ProgressLine progress(true, input);
  SequenceDatabaseBuilder builder(input.plainSize(), limits);
  try {
    ReadFastaRecords(input, builder, progress);
  } catch (const BuildError& error) {
    const std::string message = error.what();
    return message.substr(message.find(':') + 1);
  }
  return "no error";
}

TEST(SequenceLimits, TooManySequences) {
  EXPECT_EQ(BuildError_(">a\nA\n>b\nC\n>c\nD\n", {2, 100}), "5: more than 2 sequences");
  EXPECT_EQ(BuildError_(">a\nA\n>b\nC\n", {2, 100}), "no error");
}

TEST(SequenceLimits, TooManyResiduesOrNameCharacters) {
  EXPECT_EQ(BuildError_(">a\nACDEF\n>b\nGHIKL\nM\n", {100, 10}), "5: more than 10 residues in all");
  EXPECT_EQ(BuildError_(">abcdef\nA\n>ghijk\nC\n", {100, 10}),
            "3: names longer than 10 characters in all");
  EXPECT_EQ(BuildError_(">abcde\nACDEF\n>fghij\nGHIKL\n", {100, 10}), "no error");
}

}  // namespace
