// SPDX-License-Identifier: MIT
// search_reports.h: the HTML report of a search (report/), as the front ends
// make it: its motifs from a motif database, its collector fed from a hit
// table, and its file, written all or nothing.
//
// Part of the library API. A search feeds a collector itself when its
// SearchOutput names one (search.h); a front end that holds hits as a table
// (the Python module) feeds one with CollectHitTable, which gives the same
// collector as the search for the same hits, sequences searched and lengths.
//
// A search's collector holds the motifs as the database numbers them; both
// front ends renumber them as ReportMotifsOf groups them before writing.
//
// A ReportFile is the report's file: constructing it creates a temporary
// file beside the report's path (so that a run that could not write the
// report fails before it searches), Commit writes the page into it, syncs it
// and renames it onto the path, and a ReportFile that goes without a Commit
// removes its temporary file. So the path holds a whole report or what it
// held before, never part of one, whatever stops the run short of a kill.
//
// Ownership: a ReportFile owns its temporary file until it is renamed.
#ifndef BRISEL_API_SEARCH_REPORTS_H
#define BRISEL_API_SEARCH_REPORTS_H

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "api/databases.h"
#include "api/hit_tables.h"
#include "report/report_collector.h"
#include "report/report_writer.h"

namespace brisel {

// The motifs a report shows: one per distinct record (up to a NUL byte, as
// the output formats write it), so that the motifs a PROSITE pattern's
// ranges expand into are shown as the one pattern they are, in the order of
// their first motifs, with the span of their specificities; and the report's
// motif of each motif of the database, for ReportCollector::RenumberMotifs.
// The records are views into the motif database, valid while it is.
struct ReportMotifs {
  std::vector<ReportMotif> shown;
  std::vector<std::uint32_t> of;  // of[m]: the index in `shown` of motif m
};
ReportMotifs ReportMotifsOf(const MotifDatabase& motifs);

// Feeds `collector` the hits of `hits`, each run of one sequence's hits as
// that sequence, in order: its number the table's, its name and segments as
// WriteHitTable writes them (from `sequences` when given, else from the
// table's texts), its length the residues of the sequence in `sequences`
// (0, unknown, without it). Then `searched` less the sequences with hits as
// sequences without hits (none when it is smaller). Throws Error (kDamaged)
// as WriteHitTable does for a hit outside the databases.
void CollectHitTable(const HitTable& hits, const MotifDatabase& motifs,
                     const SequenceDatabase* sequences, std::uint64_t searched,
                     ReportCollector& collector);

class ReportFile {
 public:
  // Creates the temporary file "<path>.<process id>-<number>.tmp". Throws Error (kOutput,
  // "cannot write the report '<path>': <cause>") when it cannot, or when
  // `path` names something other than a regular file.
  explicit ReportFile(std::string path);
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  // Writes the report and renames it onto the path; once only. Throws Error
  // (kOutput, as above) when a write, the sync or the rename fails, and then
  // removes the temporary file.
  void Commit(const ReportCollector& collector, std::span<const ReportMotif> motifs,
              const ReportContext& context);

  const std::string& path() const { return path_; }

 private:
  [[noreturn]] void Fail(int error);
  void Discard();

  std::string path_;
  std::string temporary_;
  int fd_ = -1;
};

}  // namespace brisel

#endif  // BRISEL_API_SEARCH_REPORTS_H
