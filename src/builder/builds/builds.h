// SPDX-License-Identifier: MIT
// builds.h: the builds a front end runs: motif databases from PROSITE files,
// sequence databases from FASTA, into files or into memory.
//
// The builder's part of the library API (the search's is src/brisel-search/
// api/). brisel-makedb's commands are these calls; the Python module makes
// the same ones. A build into files replaces the database at its root all at
// once or not at all (staged_files.h), after completing any replacement an
// interrupted build left there. Every fault is a brisel::Error (a BuildError)
// naming the input or output file; warnings and notices go to the stream the
// caller gives, one line each, never to the process's own streams.
//
// Besides files, a build takes input that the caller holds: patterns as
// PatternEntries, sequences from a RecordSource (the Python module's
// objects). Their messages name the input by the name the caller gives, and
// entry or record k as its line k ("<patterns>:3:5: ..."). Such input gives
// byte for byte the database of a file that holds the same patterns or
// records.
#ifndef BRISEL_MAKEDB_API_BUILDS_H
#define BRISEL_MAKEDB_API_BUILDS_H

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "api/databases.h"
#include "input/record_source.h"
#include "output/output_streams.h"
#include "patterns/pattern_sources.h"

namespace brisel {

struct MotifBuildOptions {
  bool keepOrder = false;                 // the input order, not the most specific motifs first
  OutputStream* messages = nullptr;       // warnings, and notices unless quiet; null: none
  bool quiet = true;                      // no progress line (on a terminal) and no notices
  std::string program = "brisel-makedb";  // the name that begins each warning
};

struct MotifBuild {
  std::uint64_t motifs = 0;
  std::uint64_t patterns = 0;
  std::uint64_t skipped = 0;  // patterns left out with a warning
};

// The motif database of the PROSITE data file or pattern list `input` (a path,
// or "-" for standard input), written at `rootPath`.
MotifBuild BuildMotifDatabase(const std::string& input, const std::string& rootPath,
                              const MotifBuildOptions& options);

// The same database, in memory; no file is written.
MotifDatabase BuildMotifDatabaseInMemory(const std::string& input, const MotifBuildOptions& options,
                                         MotifBuild* summary = nullptr);

// The motif database of the patterns `entries` (pattern_sources.h), named
// `inputName` in messages, written at `rootPath` or held in memory.
MotifBuild BuildMotifDatabase(std::span<const PatternEntry> entries, std::string_view inputName,
                              const std::string& rootPath, const MotifBuildOptions& options);
MotifDatabase BuildMotifDatabaseInMemory(std::span<const PatternEntry> entries,
                                         std::string_view inputName,
                                         const MotifBuildOptions& options,
                                         MotifBuild* summary = nullptr);

struct SequenceBuildOptions {
  std::uint64_t shards = 0;     // split into this many shards (0: not sharded)
  std::uint64_t shardSize = 0;  // or into shards of at most this many residues
  OutputStream* messages = nullptr;
  bool quiet = true;
};

struct SequenceBuild {
  std::uint64_t sequences = 0;
  std::uint64_t residues = 0;
  std::uint64_t shards = 0;  // 0: one database, no manifest
};

// The sequence database (or shards and their manifest) of the FASTA file
// `input` (a path, or "-"), written at `rootPath`.
SequenceBuild BuildSequenceDatabase(const std::string& input, const std::string& rootPath,
                                    const SequenceBuildOptions& options);

// The sequence database (or shards and their manifest) of the records that
// `open` gives, named `inputName` in messages: the FASTA name line of each
// without its '>' (a raw sequence gets an empty name), its residues without
// spaces, tabs, carriage returns and line feeds; a name with a newline or a
// NUL byte, or residues with a NUL byte, are refused.
SequenceBuild BuildSequenceDatabase(const RecordSourceOpener& open, std::string_view inputName,
                                    const std::string& rootPath,
                                    const SequenceBuildOptions& options);

// The records of each shard that `options` plans for `input`, as the plain
// FASTA file "<prefix>.<k>.fasta" (SplitPiecePath), from which
// BuildSequenceDatabase builds shard k byte for byte. The summary's `shards`
// counts the files.
SequenceBuild SplitSequenceFile(const std::string& input, const std::string& prefix,
                                const SequenceBuildOptions& options);
std::string SplitPiecePath(const std::string& prefix, std::uint64_t piece);

// The manifest "<rootPath>.shards" of the shards "<rootPath>.1" to
// "<rootPath>.<shards>" that were built on their own (from the files of
// SplitSequenceFile, say), naming the build of their records
// (shard_manifest.h); `options.shards` counts them. The summary counts their
// sequences and residues.
SequenceBuild WriteShardManifest(const std::string& rootPath, const SequenceBuildOptions& options);

// For a library in a process whose signals belong to someone else (the
// Python module): builds then never touch a signal handler or the signal
// mask (staged_files.h). Call once, before the first build.
void LeaveSignalsAlone();

}  // namespace brisel

#endif  // BRISEL_MAKEDB_API_BUILDS_H
