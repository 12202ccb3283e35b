// SPDX-License-Identifier: MIT
// output_formats.h: the formats brisel-search writes its hits in, the table
// that describes them, and the escaping each of them needs.
//
//   pipe  one header line ">name" per sequence with hits, then one line
//         "E|P|s|record|segment|start|end" per hit (the default; texts as
//         they are stored, up to their first NUL byte)
//   tsv   one header line starting with '#', then one row per hit:
//         name, start, end, record, segment, s, E, P, separated by tabs; a
//         tab, newline, carriage return or backslash inside a field is written
//         as \t, \n, \r or \\, so that every row has exactly eight fields
//   gff3  "##gff-version 3", then one GFF3 feature per hit: seqid (the name
//         up to its first white space, percent-escaped), source "brisel",
//         type "polypeptide_motif", start, end, score E, strand and phase
//         ".", attributes Name (the record's first word), Note (the record),
//         specificity, segment and p_no_random_hit, percent-escaped as GFF3
//         requires
//   bed   BED6, no header line: chrom (the name's first word, "sequence"
//         without one), 0-based start, end, name (the motif record's first
//         word, "." without one), score (BedScore of E, 0 to 1000), strand
//         ("." for a protein)
//
// A translated search (brisel-search --translate) writes each format's
// translated rows (hit_lines.h): positions on the nucleotide record, with
// the strand and the frame; tsv has its own header line with two more
// columns, strand and frame.
//
// The rows come in the order of the pipe format's hit lines and carry the
// same digits: E as %.2e, P as %.3f, s as %.3e, 1-based inclusive positions.
// A sequence without a name (the scan search of one raw sequence) has an
// empty name field in tsv and the seqid "sequence" in gff3.
//
// kOutputFormats holds one entry per format: its name, its header lines, how
// --help describes it, and the makers of its row writers (hit_lines.h). The
// option parser, the header lines and the usage text are all read from it, so
// a new format is one entry and its row writer.
#ifndef BRISEL_OUTPUT_OUTPUT_FORMATS_H
#define BRISEL_OUTPUT_OUTPUT_FORMATS_H

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "database/motif_database.h"

namespace brisel {

enum class OutputFormat { kPipe, kTsv, kGff3, kBed };

class HitLineFormatter;

struct OutputFormatEntry {
  OutputFormat format;
  std::string_view name;        // as -F takes it
  std::string_view headerLine;  // opens the output, newline included; empty for none
  std::string_view usageNote;   // follows the name in --help
  std::string_view example;     // the example hit of --help, indented lines
  std::unique_ptr<HitLineFormatter> (*makeRows)(const MotifViews& motifs);
  // Of a translated search.
  std::string_view translatedHeaderLine;
  std::unique_ptr<HitLineFormatter> (*makeTranslatedRows)(const MotifViews& motifs);
};

// Every format, the default first.
std::span<const OutputFormatEntry> OutputFormats();
const OutputFormatEntry& OutputFormatOf(OutputFormat format);

// The format called `name`, or nothing.
std::optional<OutputFormat> ParseOutputFormat(std::string_view name);

// The line that opens the output, newline included; empty for pipe and bed.
inline std::string_view OutputHeaderLine(OutputFormat format, bool translated = false) {
  return translated ? OutputFormatOf(format).translatedHeaderLine
                    : OutputFormatOf(format).headerLine;
}

// The row writer of `format`, for a translated search or not.
std::unique_ptr<HitLineFormatter> MakeRows(OutputFormat format, const MotifViews& motifs,
                                           bool translated);

// The names of the formats joined as a sentence: "pipe, tsv, gff3 or bed".
std::string OutputFormatNames(std::string_view lastJoin);

// `text` up to its first NUL byte, as the C strings of the first searches
// ended there.
std::string_view UntilNul(std::string_view text);

// How a sequence's name reached the search.
enum class NameKind {
  kDatabase,   // a database name, written after '>' in the pipe format
  kFastaLine,  // the scan search's name line, '>' included, written as it is
  kNone,       // a raw sequence: no name
};

// The name as the tsv and gff3 formats see it: up to its first NUL byte,
// without the leading '>' of a FASTA name line.
std::string_view PlainName(std::string_view name, NameKind kind);

// Appends `text` up to its first NUL byte with tab, newline, carriage return
// and backslash escaped as \t, \n, \r, \\.
void AppendTsvField(std::string& out, std::string_view text);

// Appends `text` up to its first NUL byte as a GFF3 attribute value: '%', ';',
// '=', '&', ',', control bytes (below 0x20, 0x7F) and bytes from 0x80 up as
// %XX with upper-case hex digits.
void AppendGff3Value(std::string& out, std::string_view text);

// Appends the seqid of a sequence whose plain name is `name`: its first word,
// every byte outside [A-Za-z0-9.:^*$@!+_?|-] as %XX; "sequence" when the name
// has no first word.
void AppendGff3Seqid(std::string& out, std::string_view name);

// The record's first word (up to white space) for the Name attribute.
std::string_view FirstWord(std::string_view text);

}  // namespace brisel

#endif  // BRISEL_OUTPUT_OUTPUT_FORMATS_H
