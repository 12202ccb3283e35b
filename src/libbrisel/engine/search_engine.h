// SPDX-License-Identifier: MIT
// search_engine.h: the multi-motif engine that both searches run.
//
// A SearchEngine is built once, after the motif database is mapped and
// checked: the motif index (motif_index.h), the memo of per-length statistics
// (length_statistics.h) and the per-motif parts of the hit lines. It is then
// shared, read-only apart from the memo's own synchronised state, by the
// workers that search sequences. A Worker holds one thread's buffers and
// counters; each call searches one sequence and appends its report, the
// header and hit lines exactly as the motif-by-motif searches write them, to
// the caller's buffer.
//
// Per sequence: its length gives the motifs tried (memo); one pass over its
// residues finds the hits of the indexed motifs; residual motifs are walked on
// their own; anchored motifs are checked at their one placement; the hits are
// ordered as the searches report them, by motif in database order, then
// (indexed search) homing letter from 'A' to 'Z', then start; then written
// with E and P from the memo.
//
// A database sequence is searched motif by motif, with the reference walk,
// when the index cannot serve it: a residue mask that is neither one letter
// nor 0, or letter position lists that are not exactly the ascending
// positions of each letter (residue_codes.h). Checking the lists costs one
// read per residue; a database written by brisel-makedb always passes it.
//
// With a report collector (SetReport, one per worker), each sequence
// searched is fed to it as well: a sequence with hits as its number, its
// name as the tsv format writes it (PlainName), its length in residues and
// each hit with the E and P of its hit line and its segment up to a NUL
// byte, in the order of the hit lines; one without hits counted as such. The
// hit lines are the same bytes either way. A search that reports positions
// other than the engine's (a translated search: nucleotides, frames) leaves
// the collector unset and feeds it itself.
#ifndef BRISEL_ENGINE_SEARCH_ENGINE_H
#define BRISEL_ENGINE_SEARCH_ENGINE_H

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database/motif_database.h"
#include "database/sequence_database.h"
#include "engine/engine_counters.h"
#include "engine/motif_index.h"
#include "engine/pass_kernels.h"
#include "engine/residue_codes.h"
#include "engine/sequence_pass.h"
#include "matching/motif_matching.h"
#include "output/hit_lines.h"
#include "output/report_spill.h"
#include "statistics/length_statistics.h"

namespace brisel {

class ReportCollector;

enum class SearchKind { kIndexed, kScan };

class SearchEngine {
 public:
  // `rows` writes the hits; it must outlive the engine. `kernels`: the level
  // of the per-residue loops (pass_kernels.h), by default the best this
  // processor runs.
  SearchEngine(const MotifViews& motifs, double cutoffExpectation, SearchKind kind,
               const HitLineFormatter& rows, KernelLevel kernels = BestKernelLevel());

  const MotifIndex& index() const { return index_; }
  const PassKernels& kernels() const { return kernels_; }
  LengthStatisticsMemo& memo() { return memo_; }

  class Worker {
   public:
    explicit Worker(SearchEngine& engine) : engine_(engine) {}

    // The indexed search of sequence n of a mapped, checked sequence database,
    // the `number`th of its search from 0 (n itself unless the database is
    // one of several searched as one).
    void SearchDatabaseSequence(const SequenceViews& sequences, std::uint32_t n,
                                std::uint64_t number, std::string& out);
    void SearchDatabaseSequence(const SequenceViews& sequences, std::uint32_t n, std::string& out) {
      SearchDatabaseSequence(sequences, n, n, out);
    }

    // The indexed search of one sequence with its letter position lists, as
    // a database holds them or as formed in memory (residue_lists.h), the
    // `number`th of its search from 0: `name` is a database name and `text`
    // the residues the masks were formed from.
    void SearchListedSequence(std::uint64_t number, std::string_view name,
                              const ListedSequence& sequence, std::string_view text,
                              std::string& out);

    // The scan search of one sequence text (up to its first NUL byte), the
    // `number`th of its search from 0, named as `kind` says.
    void SearchText(std::uint64_t number, std::string_view name, NameKind kind,
                    std::string_view text, std::string& out);

    // While a sequence's hit lines are appended, `spill` takes the buffer
    // whenever it holds `bytes` or more. Null (the default) never spills.
    void SetSpill(ReportSpill* spill, std::size_t bytes) {
      spill_ = spill;
      spillBytes_ = bytes;
    }

    // Each sequence searched from now on is also fed to `report` (null: to
    // none, the default), which must outlive the searches.
    void SetReport(ReportCollector* report) { report_ = report; }
    ReportCollector* report() const { return report_; }

    const EngineCounters& counters() const { return counters_; }

    // The row writer's state of this worker: a translated search sets where
    // the next sequence lies on its record (HitPlacement) and reads and
    // forgets the records begun (hit_lines.h).
    HitLineFormatter::SequenceState& lineState() { return lineState_; }

   private:
    LengthStatistics& StatisticsFor(std::uint64_t length);
    // Checks anchored motif m at its one placement in the residue masks; with
    // `homing`, only where a homing letter stands at its homing position.
    void CheckAnchored(std::uint32_t m, const std::uint32_t* residues, std::uint64_t length,
                       bool homing);
    // Writes the hits of sequence `number` (feeding the report, if any).
    void WriteHits(std::string& out, LengthStatistics& statistics, std::uint64_t number,
                   std::string_view name, NameKind kind, std::string_view text);
    // The hit lines, also fed to the report with kReport; the loop without
    // it is the one of a search without a report.
    template <bool kReport>
    void WriteHitLines(std::string& out, LengthStatistics& statistics, std::string_view text);
    // Counts a sequence without hits in the report, if any.
    void ReportNoHits();

    SearchEngine& engine_;
    ReportCollector* report_ = nullptr;
    ReportSpill* spill_ = nullptr;
    std::size_t spillBytes_ = 0;
    HitLineFormatter::SequenceState lineState_;
    EngineCounters counters_;
    ResidueCodes codes_;
    WindowBuffer windows_;
    std::vector<std::uint32_t> masks_;
    std::vector<EngineHit> hits_;
    LetterBitmaps bitmaps_;
    std::array<std::shared_ptr<LengthStatistics>, 1024> recentLengths_;
  };

 private:
  const MotifIndex index_;
  const PassKernels kernels_;
  LengthStatisticsMemo memo_;
  const HitLineFormatter& lines_;
};

}  // namespace brisel

#endif  // BRISEL_ENGINE_SEARCH_ENGINE_H
