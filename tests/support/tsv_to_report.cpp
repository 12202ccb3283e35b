// SPDX-License-Identifier: MIT
// tsv_to_report: writes the HTML report of a search from the search's -F tsv
// output, through the report's collector and writer (src/libbrisel/report/),
// for the browser tests and the benchmark of large reports:
//
//   tsv_to_report [--fasta FILE] [--input TEXT]... [--option TEXT]...
//                 [--sequences N] [--hits-per-sequence M] [--collectors K]
//                 TSV OUT.html
//
// TSV is the search's output (- for standard input): a '#' header line, then
// rows of name, start, end, record, segment, specificity, expectation and
// p_no_random_hit, with \t, \n, \r and \\ escapes. With --fasta, the
// sequences searched are that plain FASTA file's records, which give the
// names, lengths and numbers; the rows of each must follow in order (a row
// that does not is an error). Without it, each run of rows of one name is a
// sequence of unknown length. Motifs are numbered in the order their records
// first appear. --collectors K spreads runs of 7 sequences over K collectors,
// as the threads of a search do, and merges them last to first. --input and
// --option give the page's lines (the inputs default to the file names).
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "report/report_collector.h"
#include "report/report_writer.h"

namespace {

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "tsv_to_report: %s\n", message.c_str());
  std::exit(1);
}

std::string Unescape(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      text.push_back(field[i]);
      continue;
    }
    const char next = field[++i];
    text.push_back(next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next);
  }
  return text;
}

template <typename T>
T Number(std::string_view text, const std::string& line) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) Fail("bad number in: " + line);
  return value;
}

struct Row {
  std::string name, record, segment;
  brisel::ReportHit hit;
  double specificity = 0;
};

class TsvReader {
 public:
  explicit TsvReader(std::istream& in) : in_(in) { Advance(); }
  bool has() const { return has_; }
  const Row& row() const { return row_; }

  void Advance() {
    has_ = false;
    while (std::getline(in_, line_)) {
      if (line_.empty() || line_[0] == '#') continue;
      std::string_view fields[8];
      std::string_view rest = line_;
      for (int i = 0; i < 8; ++i) {
        const std::size_t tab = rest.find('\t');
        if ((tab == std::string_view::npos) != (i == 7)) Fail("not 8 fields: " + line_);
        fields[i] = rest.substr(0, tab);
        rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
      }
      row_.name = Unescape(fields[0]);
      row_.record = Unescape(fields[3]);
      row_.segment = Unescape(fields[4]);
      row_.hit.start = Number<std::uint64_t>(fields[1], line_);
      row_.hit.end = Number<std::uint64_t>(fields[2], line_);
      row_.specificity = Number<double>(fields[5], line_);
      row_.hit.expectation = Number<double>(fields[6], line_);
      row_.hit.probability = Number<double>(fields[7], line_);
      has_ = true;
      return;
    }
  }

 private:
  std::istream& in_;
  std::string line_;
  Row row_;
  bool has_ = false;
};

class FastaReader {
 public:
  explicit FastaReader(const std::string& path) : in_(path) {
    if (!in_) Fail("cannot read " + path);
    while (std::getline(in_, line_) && !line_.starts_with('>')) {
    }
  }
  // The next record's name and length.
  bool Next(std::string& name, std::uint64_t& length) {
    if (!line_.starts_with('>')) return false;  // the end: getline left it empty
    name.assign(line_, 1);
    if (name.ends_with('\r')) name.pop_back();
    length = 0;
    line_.clear();
    while (std::getline(in_, line_) && !line_.starts_with('>')) {
      for (const char c : line_)
        length += c != ' ' && c != '\t' && c != '\r';
    }
    return true;
  }

 private:
  std::ifstream in_;
  std::string line_;
};

}  // namespace

int main(int argc, char* argv[]) {
  std::string fasta;
  std::vector<std::string> inputs, options, files;
  brisel::ReportLimits limits;
  std::size_t collectorCount = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 == argc) Fail("no value after " + std::string(arg));
      return argv[++i];
    };
    if (arg == "--fasta") {
      fasta = value();
    } else if (arg == "--input") {
      inputs.push_back(value());
    } else if (arg == "--option") {
      options.push_back(value());
    } else if (arg == "--sequences") {
      limits.sequences = Number<std::size_t>(value(), "--sequences");
    } else if (arg == "--hits-per-sequence") {
      limits.hitsPerSequence = Number<std::size_t>(value(), "--hits-per-sequence");
    } else if (arg == "--collectors") {
      collectorCount = std::max<std::size_t>(1, Number<std::size_t>(value(), "--collectors"));
    } else {
      files.emplace_back(arg);
    }
  }
  if (files.size() != 2) Fail("usage: tsv_to_report [options] TSV OUT.html");
  if (inputs.empty()) {
    if (!fasta.empty()) inputs.push_back(fasta);
    inputs.push_back(files[0]);
  }

  std::ifstream tsvFile;
  if (files[0] != "-") {
    tsvFile.open(files[0]);
    if (!tsvFile) Fail("cannot read " + files[0]);
  }
  TsvReader tsv(files[0] == "-" ? std::cin : tsvFile);

  std::vector<brisel::ReportCollector> collectors(collectorCount, brisel::ReportCollector(limits));
  std::map<std::string, std::uint32_t, std::less<>> motifIndex;
  std::vector<std::string> records;
  std::vector<double> specificities;
  std::uint64_t number = 0;
  std::string name;
  std::uint64_t length = 0;
  std::unique_ptr<FastaReader> sequences;
  if (!fasta.empty()) sequences = std::make_unique<FastaReader>(fasta);

  while (sequences ? sequences->Next(name, length) : tsv.has()) {
    if (!sequences) name = tsv.row().name;
    brisel::ReportCollector& collector = collectors[(number / 7) % collectorCount];
    collector.BeginSequence(number, name, length);
    for (; tsv.has() && tsv.row().name == name; tsv.Advance()) {
      const Row& row = tsv.row();
      auto [at, added] = motifIndex.try_emplace(row.record, records.size());
      if (added) {
        records.push_back(row.record);
        specificities.push_back(row.specificity);
      }
      brisel::ReportHit hit = row.hit;
      hit.motif = at->second;
      hit.segment = row.segment;
      collector.AddHit(hit);
    }
    collector.EndSequence();
    ++number;
  }
  if (tsv.has()) Fail("a row of '" + tsv.row().name + "' out of the FASTA file's order");

  for (std::size_t k = collectorCount; k-- > 1;)
    collectors[0].Merge(std::move(collectors[k]));

  std::vector<brisel::ReportMotif> motifs;
  for (std::size_t i = 0; i < records.size(); ++i)
    motifs.push_back({records[i], specificities[i]});
  const std::vector<std::string_view> inputViews(inputs.begin(), inputs.end());
  const std::vector<std::string_view> optionViews(options.begin(), options.end());
  brisel::ReportContext context;
  context.version = BRISEL_VERSION;  // of the brisel-search that wrote the TSV
  context.inputs = inputViews;
  context.options = optionViews;

  std::ofstream out(files[1], std::ios::binary);
  brisel::WriteReport(collectors[0], motifs, context,
                      [&out](std::string_view bytes) { out.write(bytes.data(), bytes.size()); });
  out.close();
  if (!out) Fail("cannot write " + files[1]);
  return 0;
}
