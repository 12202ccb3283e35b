// SPDX-License-Identifier: MIT
// The search loops of parallel/parallel_search.h in process, with chunks,
// pieces and bounds far smaller than the program's, so that chunks end on
// sequence counts and on residues, reports are spilled in the middle of a
// sequence and workers wait on their chunk's bound and on the open-chunk
// limit: both streams must still be byte for byte those of one thread. And a
// failed write must end every thread count's search.
#include "parallel/parallel_search.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "database/motif_database.h"
#include "scanner.h"
#include "database/sequence_database.h"
#include "support/memory_stream.h"
#include "support/motif_db.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

namespace {

struct Streams {
  std::string out;
  std::string err;
};

constexpr ParallelLimits kTinyLimits{3, 200, 64, 256, 2};

class ParallelSearchLoops : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(11);
    std::vector<TestSequence> sequences(300);
    for (std::size_t i = 0; i < sequences.size(); ++i) {
      sequences[i].name = "s" + std::to_string(i);
      const int length = std::uniform_int_distribution<int>(0, 120)(random);
      for (int p = 0; p < length; ++p)
        sequences[i].text += "ACDEGKLST"[random() % 9];
      if (sequences[i].text.empty()) sequences[i].text = "*";
    }
    sequences[100].text = std::string(3000, 'A');  // thousands of hit lines
    WriteSequenceDatabase(dir_ / "sequences", sequences);
    WriteFile(dir_ / "sequences.fa", AsFasta(sequences));
    WriteMotifDatabase(dir_ / "motifs", {MakeMotif({"A", "C"}, 0.01, 0.0, "AC"),
                                         MakeMotif({"S", "T"}, 0.01, 0.0, "ST"),
                                         MakeMotif({"A", "A"}, 0.01, 0.0, "AA")});
    MapMotifBlocksToMemory(1, &motifs_, (dir_ / "motifs").c_str());
    MapSequenceBlocksToMemory(1, &sequences_, (dir_ / "sequences").c_str());
  }
  void TearDown() override {
    UnmapSequenceBlocksFromMemory(&sequences_);
    UnmapMotifBlocksFromMemory(&motifs_);
  }

  Streams Indexed(unsigned threads, const ParallelLimits& limits, std::FILE* out = nullptr) {
    SearchEngine engine(motifs_, 1e9, SearchKind::kIndexed);
    MemoryStream outStream, errStream;
    SearchDatabaseSequences(engine, sequences_, numSequences, threads,
                            out != nullptr ? out : outStream.file(), errStream.file(), limits);
    return {outStream.Take(), errStream.Take()};
  }

  Streams Scan(unsigned threads, const ParallelLimits& limits, std::FILE* out = nullptr) {
    SearchEngine engine(motifs_, 1e9, SearchKind::kScan);
    const ScannerPtr scanner(NewScannerFromFilename((dir_ / "sequences.fa").c_str(), "\n", 1));
    MemoryStream outStream, errStream;
    SearchFastaRecords(engine, scanner.get(), threads, out != nullptr ? out : outStream.file(),
                       errStream.file(), limits);
    return {outStream.Take(), errStream.Take()};
  }

  TempDir dir_;
  motifMappedMemoryCDT motifs_{};
  sequenceMappedMemoryCDT sequences_{};
};

TEST_F(ParallelSearchLoops, TinyChunksAndPiecesKeepBothStreams) {
  const Streams indexed = Indexed(1, {});
  const Streams scan = Scan(1, {});
  ASSERT_GT(indexed.out.size(), 100000u);
  ASSERT_EQ(indexed.err.size(), scan.err.size());
  for (unsigned threads : {2u, 3u, 7u}) {
    SCOPED_TRACE(threads);
    for (const ParallelLimits& limits : {kTinyLimits, ParallelLimits{}}) {
      const Streams parallelIndexed = Indexed(threads, limits);
      EXPECT_TRUE(parallelIndexed.out == indexed.out);
      EXPECT_EQ(parallelIndexed.err, indexed.err);
      const Streams parallelScan = Scan(threads, limits);
      EXPECT_TRUE(parallelScan.out == scan.out);
      EXPECT_EQ(parallelScan.err, scan.err);
    }
  }
}

TEST_F(ParallelSearchLoops, AFailedWriteEndsTheSearch) {
  const Streams all = Indexed(1, {});
  for (unsigned threads : {1u, 2u, 7u}) {
    SCOPED_TRACE(threads);
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    const Streams indexed = Indexed(threads, kTinyLimits, full);
    EXPECT_NE(std::ferror(full), 0);
    EXPECT_LT(indexed.err.size(), all.err.size()) << "the progress lines stop early";
    std::clearerr(full);
    const Streams scan = Scan(threads, kTinyLimits, full);
    EXPECT_NE(std::ferror(full), 0);
    EXPECT_LT(scan.err.size(), all.err.size());
    std::fclose(full);
  }
}

}  // namespace
