// SPDX-License-Identifier: MIT
// The search loops of parallel/parallel_search.h in process, with chunks,
// pieces and bounds far smaller than the program's, so that chunks end on
// sequence counts and on residues, reports are spilled in the middle of a
// sequence and workers wait on their chunk's bound and on the open-chunk
// limit: both streams must still be byte for byte those of one thread. And a
// failed write, or the caller's cancel flag, must end every thread count's
// search. A translated search cut into pieces of a few codons, a job of a few
// of them at a time, must write what one thread writes with whole frames:
// each stretch searched once, each record's header once.
// Records searched in indexed order, their masks and lists formed in
// memory, must give the streams of a database of the same sequences whose
// lists the tests wrote themselves, also when the source ends early. A
// report's collector, fed by the workers, must leave the streams alone and
// hold the same for every thread count: that of the search's hit table. The
// sequences split into parts (the shards of a set, one of them empty) give
// the streams of the one database.
#include "parallel/parallel_search.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "api/databases.h"
#include "api/hit_tables.h"
#include "api/search.h"
#include "api/search_reports.h"
#include "input/line_reader.h"
#include "output/hit_lines.h"
#include "support/motif_db.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"
#include "translation/codon_table.h"
#include "translation/genetic_codes.h"

using namespace brisel;

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
    const std::ptrdiff_t cuts[] = {0, 120, 120, 240, 300};  // part 1 is empty
    for (std::size_t part = 0; part < 4; ++part) {
      WriteSequenceDatabase(dir_ / ("part" + std::to_string(part)),
                            {sequences.begin() + cuts[part], sequences.begin() + cuts[part + 1]});
    }
    WriteFile(dir_ / "sequences.fa", AsFasta(sequences));
    WriteMotifDatabase(dir_ / "motifs", {MakeMotif({"A", "C"}, 0.01, 0.0, "AC"),
                                         MakeMotif({"S", "T"}, 0.01, 0.0, "ST"),
                                         MakeMotif({"A", "A"}, 0.01, 0.0, "AA")});
    motifDatabase_.emplace(MotifDatabase::Open(dir_ / "motifs"));
    sequenceDatabase_.emplace(SequenceDatabase::Open(dir_ / "sequences"));
    rows_ = MakePipeRows(motifs());
  }
  const MotifViews& motifs() const { return motifDatabase_->blocks(); }
  const SequenceViews& sequences() const { return sequenceDatabase_->blocks(); }

  // Both searches with their hits in `out`, or in memory.
  Streams Indexed(unsigned threads, const ParallelLimits& limits, OutputStream* out = nullptr,
                  const std::atomic<bool>* cancel = nullptr, ReportCollector* report = nullptr) {
    SearchEngine engine(motifs(), 1e9, SearchKind::kIndexed, *rows_);
    StringStream outStream, errStream;
    RunDatabaseSearch(engine, sequences(), sequenceDatabase_->size(), threads,
                      {out != nullptr ? *out : outStream, errStream, cancel, report}, limits);
    return {std::move(outStream.text()), std::move(errStream.text())};
  }

  Streams Scan(unsigned threads, const ParallelLimits& limits, OutputStream* out = nullptr,
               const std::atomic<bool>* cancel = nullptr, ReportCollector* report = nullptr) {
    SearchEngine engine(motifs(), 1e9, SearchKind::kScan, *rows_);
    TextLines lines(UniqueFd(::open((dir_ / "sequences.fa").c_str(), O_RDONLY | O_CLOEXEC)));
    FastaLineRecords records(lines);
    StringStream outStream, errStream;
    RunRecordSearch(engine, records, SearchKind::kScan, threads,
                    {out != nullptr ? *out : outStream, errStream, cancel, report}, limits);
    return {std::move(outStream.text()), std::move(errStream.text())};
  }

  TempDir dir_;
  std::optional<MotifDatabase> motifDatabase_;
  std::optional<SequenceDatabase> sequenceDatabase_;
  std::unique_ptr<HitLineFormatter> rows_;
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

TEST_F(ParallelSearchLoops, TheReportIsTheSameForEveryThreadCountAndThatOfTheHitTable) {
  // Limits that leave sequences and hits out, so that the merges choose.
  const ReportLimits limits{.sequences = 40, .hitsPerSequence = 6, .hits = 150};
  HitTableStream table(false);
  SearchOutput records{table};
  records.records = true;
  SearchDatabase(*motifDatabase_, *sequenceDatabase_, {1e9, 1, nullptr}, records);
  ReportCollector expected(limits);
  CollectHitTable(table.table(), *motifDatabase_, &*sequenceDatabase_, sequenceDatabase_->size(),
                  expected);
  ASSERT_GT(expected.sequencesWithHits(), 2 * limits.sequences);
  const std::vector<ReportMotif> motifs = ReportMotifsOf(*motifDatabase_).shown;
  const std::string page = RenderReport(expected, motifs, {});

  const Streams indexed = Indexed(1, {});
  const Streams scan = Scan(1, {});
  std::string scanPage;
  for (unsigned threads : {1u, 2u, 3u, 7u}) {
    SCOPED_TRACE(threads);
    for (const ParallelLimits& chunks : {kTinyLimits, ParallelLimits{}}) {
      ReportCollector report(limits);
      const Streams reported = Indexed(threads, chunks, nullptr, nullptr, &report);
      EXPECT_TRUE(reported.out == indexed.out);
      EXPECT_EQ(reported.err, indexed.err);
      EXPECT_EQ(report.sequences(), sequenceDatabase_->size());
      EXPECT_TRUE(RenderReport(report, motifs, {}) == page);

      ReportCollector scanReport(limits);
      const Streams scanned = Scan(threads, chunks, nullptr, nullptr, &scanReport);
      EXPECT_TRUE(scanned.out == scan.out);
      EXPECT_EQ(scanned.err, scan.err);
      EXPECT_EQ(scanReport.hits(), expected.hits());
      if (scanPage.empty()) scanPage = RenderReport(scanReport, motifs, {});
      EXPECT_TRUE(RenderReport(scanReport, motifs, {}) == scanPage);
    }
  }
}

TEST_F(ParallelSearchLoops, PartsSearchedAsOneDatabase) {
  const Streams whole = Indexed(1, {});
  std::vector<SequenceDatabase> databases;
  std::vector<DatabasePart> parts;
  std::uint64_t first = 0;
  for (int part = 0; part < 4; ++part) {
    databases.push_back(SequenceDatabase::Open(dir_ / ("part" + std::to_string(part))));
    const auto count = static_cast<std::uint32_t>(databases.back().size());
    parts.push_back({&databases.back().blocks(), count, first});
    first += count;
  }
  ASSERT_EQ(first, 300u);
  ASSERT_EQ(parts[1].count, 0u);
  for (unsigned threads : {1u, 2u, 3u, 7u}) {
    for (const ParallelLimits& limits : {kTinyLimits, ParallelLimits{}}) {
      SearchEngine engine(motifs(), 1e9, SearchKind::kIndexed, *rows_);
      StringStream out, err;
      RunDatabaseSearch(engine, parts, threads, {out, err}, limits);
      EXPECT_TRUE(out.text() == whole.out) << threads << " threads";
      EXPECT_EQ(err.text(), whole.err) << threads << " threads";
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
    FileStream indexedOut(full);
    const Streams indexed = Indexed(threads, kTinyLimits, &indexedOut);
    EXPECT_EQ(indexedOut.error(), ENOSPC);
    EXPECT_LT(indexed.err.size(), all.err.size()) << "the progress lines stop early";
    std::clearerr(full);
    FileStream scanOut(full);
    const Streams scan = Scan(threads, kTinyLimits, &scanOut);
    EXPECT_EQ(scanOut.error(), ENOSPC);
    EXPECT_LT(scan.err.size(), all.err.size());
    std::fclose(full);
  }
}

TEST_F(ParallelSearchLoops, ARaisedCancelFlagEndsTheSearch) {
  const Streams all = Indexed(1, {});
  // A stream that raises the flag once it has taken a few pieces.
  class CancellingStream final : public OutputStream {
   public:
    explicit CancellingStream(std::atomic<bool>& cancel) : cancel_(cancel) {}
    bool Write(std::string_view bytes) override {
      text += bytes;
      if (++writes_ == 3) cancel_ = true;
      return true;
    }
    std::string text;

   private:
    std::atomic<bool>& cancel_;
    int writes_ = 0;
  };
  for (unsigned threads : {1u, 2u, 7u}) {
    SCOPED_TRACE(threads);
    std::atomic<bool> cancel{false};
    CancellingStream out(cancel);
    const Streams indexed = Indexed(threads, kTinyLimits, &out, &cancel);
    EXPECT_LT(indexed.err.size(), all.err.size()) << "the progress lines stop early";
    EXPECT_EQ(all.out.substr(0, out.text.size()), out.text) << "what was written is a prefix";
    cancel = false;
    CancellingStream scanOut(cancel);
    const Streams scan = Scan(threads, kTinyLimits, &scanOut, &cancel);
    EXPECT_LT(scan.err.size(), all.err.size());
  }
}

// Hands out the first `count` of `sequences` as records with database names.
class SequenceRecords final : public RecordSource {
 public:
  SequenceRecords(const std::vector<TestSequence>& sequences, std::size_t count)
      : sequences_(sequences), count_(std::min(count, sequences.size())) {}
  bool Next(SequenceRecord& record) override {
    if (next_ == count_) return false;
    record.name = sequences_[next_].name;
    record.text = sequences_[next_].text;
    ++next_;
    return true;
  }

 private:
  const std::vector<TestSequence>& sequences_;
  const std::size_t count_;
  std::size_t next_ = 0;
};

class IndexedRecordSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    // Both cases, residues that no letter list holds ('*', '-', digits, bytes
    // beyond ASCII), empty sequences and one long enough for many hits.
    std::mt19937 random(23);
    constexpr std::string_view kBytes = "ACDEGKLSTacdegklst*-7\x80XBZ";
    sequences_.resize(400);
    for (std::size_t i = 0; i < sequences_.size(); ++i) {
      sequences_[i].name = "r" + std::to_string(i) + " record";
      const int length = std::uniform_int_distribution<int>(0, 150)(random);
      for (int p = 0; p < length; ++p)
        sequences_[i].text += kBytes[random() % kBytes.size()];
    }
    sequences_[7].text.clear();
    sequences_[200].text = std::string(2000, 'a') + std::string(2000, 'C');
    WriteMotifDatabase(dir_ / "motifs", {MakeMotif({"A", "C"}, 0.01, 0.0, "AC"),
                                         MakeMotif({"S", "T"}, 0.01, 0.0, "ST"),
                                         MakeMotif({"KT", "ACDEGKLST", "E"}, 0.001, 0.0, "[KT]xE"),
                                         MakeMotif({"A", "A"}, 0.01, 0.0, "AA")});
    motifDatabase_.emplace(MotifDatabase::Open(dir_ / "motifs"));
    rows_ = MakePipeRows(motifDatabase_->blocks());
  }

  // The indexed search of a database of the first `count` sequences.
  Streams Database(std::size_t count) {
    const std::string root = dir_ / ("first" + std::to_string(count));
    WriteSequenceDatabase(root, {sequences_.begin(), sequences_.begin() + count});
    const SequenceDatabase sequences = SequenceDatabase::Open(root);
    SearchEngine engine(motifDatabase_->blocks(), 1e9, SearchKind::kIndexed, *rows_);
    StringStream out, err;
    RunDatabaseSearch(engine, sequences.blocks(), sequences.size(), 1, {out, err});
    return {std::move(out.text()), std::move(err.text())};
  }

  Streams Records(std::size_t count, unsigned threads, const ParallelLimits& limits) {
    SearchEngine engine(motifDatabase_->blocks(), 1e9, SearchKind::kIndexed, *rows_);
    SequenceRecords records(sequences_, count);
    StringStream out, err;
    RunRecordSearch(engine, records, SearchKind::kIndexed, threads, {out, err}, limits);
    return {std::move(out.text()), std::move(err.text())};
  }

  TempDir dir_;
  std::vector<TestSequence> sequences_;
  std::optional<MotifDatabase> motifDatabase_;
  std::unique_ptr<HitLineFormatter> rows_;
};

TEST_F(IndexedRecordSearch, RecordsGiveTheStreamsOfTheirDatabase) {
  const Streams database = Database(sequences_.size());
  ASSERT_GT(database.out.size(), 50000u);
  for (unsigned threads : {1u, 2u, 3u, 7u}) {
    SCOPED_TRACE(threads);
    for (const ParallelLimits& limits : {kTinyLimits, ParallelLimits{}}) {
      const Streams records = Records(sequences_.size(), threads, limits);
      EXPECT_TRUE(records.out == database.out);
      EXPECT_EQ(records.err, database.err);
    }
  }
}

TEST_F(IndexedRecordSearch, ASourceThatEndsEarlyLeavesEveryRecordBeforeItSearched) {
  for (const std::size_t count : {0u, 1u, 201u}) {
    SCOPED_TRACE(count);
    const Streams database = Database(count);
    for (unsigned threads : {1u, 2u, 7u}) {
      const Streams records = Records(count, threads, kTinyLimits);
      EXPECT_TRUE(records.out == database.out) << threads;
      EXPECT_EQ(records.err, database.err) << threads;
    }
  }
}

// Nucleotide records: random bases with stops (N now and then), records of
// 0 to 5 bases, one long record without a stop in frame +1.
class TranslatedPieces : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(31);
    for (int i = 0; i < 120; ++i) {
      std::string bases;
      const int length = i < 6 ? i : std::uniform_int_distribution<int>(0, 900)(random);
      for (int p = 0; p < length; ++p)
        bases += "ACGTACGTN"[random() % 9];
      records_.push_back({"n" + std::to_string(i) + " record", bases});
    }
    std::string open;
    for (int p = 0; p < 3000; ++p)
      open += std::string("GCATCTAGTACC").substr(3 * (random() % 4), 3);  // A, S, (stop-free) T
    records_[50].text = open;
    TestMotif atStart = MakeMotif({"M", "K"}, 0.01, 0.0, "<MK");
    atStart.anchor = 1;  // N-terminal: a stretch's first two letters
    WriteMotifDatabase(dir_ / "motifs", {MakeMotif({"S", "T"}, 0.01, 0.0, "ST"),
                                         MakeMotif({"AS", "ST"}, 0.02, 0.0, "[AS][ST]"),
                                         MakeMotif({"W"}, 0.01, 0.0, "W"), atStart});
    motifDatabase_.emplace(MotifDatabase::Open(dir_ / "motifs"));
  }

  Streams Translated(OutputFormat format, unsigned threads, std::uint64_t pieceCodons,
                     const ParallelLimits& limits) {
    const std::unique_ptr<HitLineFormatter> rows = MakeRows(format, motifDatabase_->blocks(), true);
    SearchEngine engine(motifDatabase_->blocks(), 1e9, SearchKind::kIndexed, *rows);
    class Held final : public RecordSource {
     public:
      explicit Held(const std::vector<SequenceRecord>& records) : records_(records) {}
      bool Next(SequenceRecord& record) override {
        if (next_ == records_.size()) return false;
        record = records_[next_++];
        return true;
      }

     private:
      const std::vector<SequenceRecord>& records_;
      std::size_t next_ = 0;
    } source(records_);
    const CodonTable table(GeneticCodeById(1));
    FramePieces pieces(source, {&table, FrameSet::All(), 1}, pieceCodons);
    StringStream out, err;
    RunTranslatedSearch(engine, pieces, threads, {out, err}, limits);
    return {std::move(out.text()), std::move(err.text())};
  }

  TempDir dir_;
  std::vector<SequenceRecord> records_;
  std::optional<MotifDatabase> motifDatabase_;
};

TEST_F(TranslatedPieces, AnyCutAndThreadCountWriteWhatWholeFramesWrite) {
  for (const OutputFormat format : {OutputFormat::kPipe, OutputFormat::kGff3}) {
    const Streams whole = Translated(format, 1, 1u << 30, {});
    ASSERT_GT(whole.out.size(), 20000u);
    EXPECT_EQ(std::count(whole.err.begin(), whole.err.end(), '\r'), 120);
    for (const std::uint64_t pieceCodons : {1u, 2u, 7u, 100u}) {
      for (const unsigned threads : {1u, 2u, 3u, 7u}) {
        SCOPED_TRACE(std::to_string(pieceCodons) + " codons, " + std::to_string(threads));
        for (const ParallelLimits& limits : {ParallelLimits{3, 20, 64, 256, 2}, ParallelLimits{}}) {
          const Streams cut = Translated(format, threads, pieceCodons, limits);
          EXPECT_TRUE(cut.out == whole.out);
          EXPECT_EQ(cut.err, whole.err);
        }
      }
    }
  }
}

}  // namespace
