// SPDX-License-Identifier: MIT
// Property: the multi-motif engine, which brisel-search runs, writes byte for
// byte what the motif-by-motif reference writes, on both streams, for both
// searches, over many random databases: motifs with masks of several letters,
// of none, of every letter or with bits beyond the letters, homing masks of
// several letters or none, motifs of one position and motifs wider than the
// sequences, enough motifs for the per-length checkpoints to be spaced out;
// sequences with lower case, B/J/O/U/X/Z and characters that are no letters;
// cut-offs that stop mid-list and -e 9; and databases whose residue masks or
// letter position lists are not the ones a builder writes; motifs anchored to
// either terminus or both, some taken from the ends of the sequences so that
// they hit, and anchors blocks that the check must refuse. Each search runs
// with -j 1 and -j 3 (-j 7 on some seeds), and every run must match. Two
// databases in three also run in the tsv or the gff3 format, with names and
// records full of bytes that those formats escape, against the reference's
// own printf rows. Some databases hold the motifs of patterns rich in x,
// each expanded over the lengths of its ranges (gapped windows, buckets whose
// motifs share their tests). A second test runs the engine in-process at each
// kernel level of pass_kernels.h against the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "brisel.h"
#include "database/motif_database.h"
#include "database/sequence_database.h"
#include "engine/pass_kernels.h"
#include "engine/search_engine.h"
#include "output/output_formats.h"
#include "search_options.h"
#include "support/memory_stream.h"
#include "support/motif_db.h"
#include "support/process.h"
#include "support/reference_searches.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

const char* const kFormatNames[] = {"pipe", "tsv", "gff3", "bed"};

class RandomCase {
 public:
  explicit RandomCase(unsigned seed) : random_(seed) {}

  int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  std::vector<TestSequence> Sequences() {
    const std::string common = "ACDEGKLST";
    const std::string odd = "BJOUXZacgk*-1 ";
    std::vector<TestSequence> sequences(Uniform(1, 12));
    for (std::size_t i = 0; i < sequences.size(); ++i) {
      sequences[i].name = "seq" + std::to_string(i) + (Uniform(0, 3) == 0 ? " desc" : "");
      if (Uniform(0, 5) == 0) sequences[i].name = Awkward(false);
      const int length = Uniform(0, 4) == 0 ? Uniform(0, 6) : Uniform(1, 160);
      for (int p = 0; p < length; ++p) {
        sequences[i].text += Uniform(0, 12) == 0 ? Pick(odd) : Pick(common);
      }
    }
    return sequences;
  }

  std::vector<TestMotif> Motifs(const std::vector<TestSequence>& sequences) {
    const std::string letters = "ACDEGKLSTXZ";
    const bool many = Uniform(0, 5) == 0;  // more motifs than checkpoints per length
    const bool anchored = Uniform(0, 2) == 0;
    std::vector<TestMotif> motifs(many ? Uniform(300, 700) : Uniform(1, 40));
    for (std::size_t m = 0; m < motifs.size(); ++m) {
      TestMotif& motif = motifs[m];
      const int width = Uniform(0, 6) == 0 ? 1 : Uniform(2, 9);
      for (int j = 0; j < width; ++j) {
        std::string allowed;
        for (int k = Uniform(1, 3); k > 0; --k)
          allowed += Pick(letters);
        const int kind = Uniform(0, 60);
        motif.positions.push_back(kind == 0   ? 0u
                                  : kind == 1 ? kAllLettersMask
                                  : kind == 2 ? Letters(allowed) | 0x80000000u
                                  : kind < 8  ? kAllLettersMask & ~Letters(allowed)
                                              : Letters(allowed));
      }
      motif.homingPosition = static_cast<std::uint32_t>(Uniform(0, width - 1));
      const int homing = Uniform(0, 12);
      motif.homingMask = homing == 0   ? 0u
                         : homing == 1 ? Letters(std::string(1, Pick(letters)))
                                       : motif.positions[motif.homingPosition];
      if (Uniform(0, 4) == 0) motif.homingMask |= Letters(std::string(1, Pick(letters)));
      motif.specificity = std::pow(10.0, -std::uniform_real_distribution<double>(0.3, 19)(random_));
      motif.lengthCorrection =
          std::uniform_real_distribution<double>(0.0, width * motif.specificity)(random_);
      motif.record = "m" + std::to_string(m) + (Uniform(0, 9) == 0 ? " rec|x" : "");
      if (Uniform(0, 7) == 0) motif.record = Awkward(true);
      if (anchored && Uniform(0, 2) == 0) Anchor(motif, sequences);
    }
    return motifs;
  }

  // The motifs of one to three patterns rich in x, each expanded over the
  // lengths of its ranges as brisel-makedb expands them: windows of four
  // positions next to each other hold x and the choice turns to gapped ones,
  // and the motifs of one pattern share buckets and their nearest positions
  // (runs of motif_index.h). Some are written into the sequences, whose
  // letters they otherwise rarely meet.
  void AddFamilies(std::vector<TestMotif>& motifs, std::vector<TestSequence>& sequences) {
    const std::string letters = "ADEGKLST";
    const std::string filler = "ACDEGKLST";
    for (int family = Uniform(1, 4); family > 0; --family) {
      std::vector<std::uint32_t> elements;
      std::vector<std::pair<int, int>> gaps;  // before each element but the first
      for (int e = Uniform(3, 5); e > 0; --e) {
        std::string allowed(1, Pick(letters));
        if (Uniform(0, 3) == 0) allowed += Pick(letters);
        if (!elements.empty()) {
          const int low = Uniform(0, 4) == 0 ? Uniform(0, 2) : Uniform(3, 5);
          gaps.emplace_back(low, low + Uniform(0, 2));
        }
        elements.push_back(Letters(allowed));
      }
      // Every choice of the ranges, at most 150.
      std::vector<std::vector<int>> choices = {{}};
      for (const auto& [low, high] : gaps) {
        std::vector<std::vector<int>> longer;
        for (const std::vector<int>& choice : choices) {
          for (int g = low; g <= high && longer.size() < 150; ++g) {
            longer.push_back(choice);
            longer.back().push_back(g);
          }
        }
        choices = longer;
      }
      const int homingElement = Uniform(0, static_cast<int>(elements.size()) - 1);
      for (const std::vector<int>& choice : choices) {
        TestMotif motif;
        for (std::size_t e = 0; e < elements.size(); ++e) {
          if (e > 0) motif.positions.insert(motif.positions.end(), choice[e - 1], kAllLettersMask);
          if (static_cast<int>(e) == homingElement) {
            motif.homingPosition = static_cast<std::uint32_t>(motif.positions.size());
          }
          motif.positions.push_back(elements[e]);
        }
        motif.homingMask = motif.positions[motif.homingPosition];
        if (Uniform(0, 9) == 0) motif.homingMask |= Letters(std::string(1, Pick(letters)));
        motif.specificity = std::pow(10.0, -std::uniform_real_distribution<double>(3, 19)(random_));
        motif.lengthCorrection = std::uniform_real_distribution<double>(
            0.0, motif.positions.size() * motif.specificity)(random_);
        motif.record = "m" + std::to_string(motifs.size()) + " family";
        motifs.push_back(motif);
      }
    }
    // Instances of some motifs, written over the sequences (longer ones when
    // they are too short).
    for (int planted = Uniform(2, 12); planted > 0; --planted) {
      const TestMotif& motif = motifs[Uniform(0, static_cast<int>(motifs.size()) - 1)];
      TestSequence& sequence = sequences[Uniform(0, static_cast<int>(sequences.size()) - 1)];
      while (sequence.text.size() < motif.positions.size() + 10)
        sequence.text += Pick(filler);
      const std::size_t at =
          Uniform(0, static_cast<int>(sequence.text.size() - motif.positions.size()));
      for (std::size_t j = 0; j < motif.positions.size(); ++j) {
        std::string allowed;
        for (int k = 0; k < 26; ++k) {
          if ((motif.positions[j] >> k & 1) != 0 && filler.find(char('A' + k)) != std::string::npos)
            allowed += char('A' + k);
        }
        for (int k = 0; k < 26 && allowed.empty(); ++k) {
          if ((motif.positions[j] >> k & 1) != 0) allowed += char('A' + k);
        }
        if (!allowed.empty()) sequence.text[at + j] = Pick(allowed);
      }
    }
  }

  // A text of the bytes that the tsv and gff3 formats must escape, white space
  // where a first word is looked for, and bytes beyond ASCII; a name line
  // cannot hold a newline.
  std::string Awkward(bool newlines) {
    static const char* const kPieces[] = {"\t", "%", ";", "=",    "&",    ",", "\\",       "\r",
                                          " ",  ">", "|", "\x01", "\x7f", "A", "\xc3\xa9", "x y"};
    std::string text;
    for (int k = Uniform(0, 6); k > 0; --k)
      text += kPieces[Uniform(0, std::size(kPieces) - 1)];
    if (newlines && Uniform(0, 2) == 0) text.insert(Uniform(0, text.size()), "\n");
    return text;
  }

  // Ties a motif to one terminus or both; half of them are made to match the
  // ends of a sequence, whose letters they allow.
  void Anchor(TestMotif& motif, const std::vector<TestSequence>& sequences) {
    motif.anchor = static_cast<std::uint8_t>(Uniform(1, 3));
    const std::string& text = sequences[Uniform(0, static_cast<int>(sequences.size()) - 1)].text;
    if (Uniform(0, 2) == 0 || text.empty()) return;
    const std::size_t width =
        motif.anchor == 3 ? text.size() : std::min(motif.positions.size(), text.size());
    if (width > 12) return;
    const std::size_t from = motif.anchor == 2 ? text.size() - width : 0;
    motif.positions.assign(width, 0);
    for (std::size_t j = 0; j < width; ++j) {
      motif.positions[j] = Letters(text.substr(from + j, 1)) | Letters(std::string(1, Pick("ADK")));
    }
    motif.homingPosition = static_cast<std::uint32_t>(Uniform(0, static_cast<int>(width) - 1));
    motif.homingMask = Uniform(0, 5) == 0 ? Letters("AK") : motif.positions[motif.homingPosition];
  }

  // An anchors block the check refuses: a byte too many or too few, or a
  // value above 3. Returns the expected fault.
  std::string DamageAnchors(const std::string& root, std::size_t motifs) {
    const std::string path = root + "-anchors.bin";
    std::string anchors = ReadFile(path);
    const int choice = Uniform(0, 2);
    if (choice == 0) {
      anchors += '\1';
    } else if (choice == 1) {
      anchors.pop_back();
    } else {
      const std::size_t m = static_cast<std::size_t>(Uniform(0, static_cast<int>(motifs) - 1));
      anchors[m] = static_cast<char>(Uniform(4, 255));
      WriteFile(path, anchors);
      return path + ": anchor " + std::to_string(static_cast<unsigned char>(anchors[m])) +
             " of motif " + std::to_string(m) + " is not 0, 1, 2 or 3";
    }
    WriteFile(path, anchors);
    return path + ": file is " + std::to_string(anchors.size()) + " bytes long, but numMotifs is " +
           std::to_string(motifs);
  }

  std::string CutoffExponent() {
    const int choice = Uniform(0, 4);
    return choice == 0 ? "9" : std::to_string(Uniform(-4, 1));
  }

  // Residue masks or letter lists that disagree with the text, or masks that
  // are not one letter: the database still passes the check.
  void Damage(const std::string& root, const std::vector<TestSequence>& sequences) {
    std::size_t residues = 0;
    for (const TestSequence& s : sequences)
      residues += s.text.size();
    if (residues == 0) return;
    const std::size_t at = static_cast<std::size_t>(Uniform(0, static_cast<int>(residues) - 1));
    switch (Uniform(0, 5)) {
      case 0:
        PatchUnsigned(root + "-bitSequences.bin", at, Letters("AK"));
        break;
      case 1:
        PatchUnsigned(root + "-bitSequences.bin", at, 1u << Uniform(26, 31));
        break;
      case 2: {
        const std::vector<std::uint32_t> offsets = ReadUnsignedBlock(root + "-offsets.bin");
        if (offsets.empty()) return;
        const std::size_t entry = at % offsets.size();
        PatchUnsigned(
            root + "-offsets.bin", entry,
            Uniform(0, 3) == 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(Uniform(0, 200)));
        break;
      }
      case 3: {
        // Two neighbouring list entries swapped: a list out of order, or a
        // position in the next letter's list.
        const std::vector<std::uint32_t> offsets = ReadUnsignedBlock(root + "-offsets.bin");
        if (offsets.size() < 2) return;
        const std::size_t entry = at % (offsets.size() - 1);
        PatchUnsigned(root + "-offsets.bin", entry, offsets[entry + 1]);
        PatchUnsigned(root + "-offsets.bin", entry + 1, offsets[entry]);
        break;
      }
      case 4:
        PatchUnsigned(root + "-bitSequences.bin", at, Letters(std::string(1, Pick("ACDEGKLST"))));
        break;
      default:
        PatchUnsigned(root + "-bitSequences.bin", at, 0);
        break;
    }
  }

 private:
  char Pick(const std::string& from) { return from[Uniform(0, static_cast<int>(from.size()) - 1)]; }

  std::mt19937 random_;
};

// What the reference writes to standard output and standard error.
struct Streams {
  std::string out;
  std::string err;
};

Streams ReferenceIndexed(const std::string& motifs, const std::string& sequences, double cutoff,
                         OutputFormat format) {
  motifMappedMemoryCDT motifDb{};
  sequenceMappedMemoryCDT sequenceDb{};
  MapMotifBlocksToMemory(1, &motifDb, motifs.c_str());
  MapSequenceBlocksToMemory(1, &sequenceDb, sequences.c_str());
  MemoryStream out, err;
  std::fputs(std::string(OutputHeaderLine(format)).c_str(), out.file());
  std::fputc('\n', err.file());
  ReferenceIndexedSearch(motifDb, sequenceDb, cutoff, out.file(), err.file(), format);
  std::fputc('\n', err.file());
  UnmapSequenceBlocksFromMemory(&sequenceDb);
  UnmapMotifBlocksFromMemory(&motifDb);
  return {out.Take(), err.Take()};
}

Streams ReferenceScan(const std::string& motifs, const std::vector<TestSequence>& sequences,
                      double cutoff, bool fasta, OutputFormat format) {
  motifMappedMemoryCDT motifDb{};
  MapMotifBlocksToMemory(1, &motifDb, motifs.c_str());
  std::uint32_t charToBitMap[kCharToBitMapLength];
  InitializeCharToBitMap(charToBitMap, kCharToBitMapLength);
  MemoryStream out, err;
  std::fputs(std::string(OutputHeaderLine(format)).c_str(), out.file());
  std::fputc('\n', err.file());
  if (fasta) {
    // Records are name and sequence lines; an empty sequence line is no line,
    // so the next name is read as its sequence: build the input without them.
    for (std::size_t i = 0; i < sequences.size(); ++i) {
      std::fprintf(err.file(), "Processing Sequence %zu\r", i + 1);
      ReferenceScanSequence(motifDb, ">" + sequences[i].name, sequences[i].text, charToBitMap,
                            cutoff, 1, out.file(), format);
    }
  } else {
    ReferenceScanSequence(motifDb, {}, sequences[0].text, charToBitMap, cutoff, 0, out.file(),
                          format);
  }
  std::fputc('\n', err.file());
  UnmapMotifBlocksFromMemory(&motifDb);
  return {out.Take(), err.Take()};
}

// The hit lines of anchored motifs: their record (field 4) names the motif.
std::size_t CountAnchoredHitLines(const std::string& out, const std::vector<TestMotif>& motifs) {
  std::size_t count = 0;
  std::size_t at = 0;
  while (at < out.size()) {
    const std::size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end - at);
    at = end + 1;
    // Hit lines start with E; records of the form "m<index>..." name their motif.
    if (line.empty() || line[0] < '0' || line[0] > '9') continue;
    std::size_t field = 0;
    for (int i = 0; i < 3; ++i)
      field = line.find('|', field) + 1;
    if (field + 1 >= line.size() || line[field] != 'm') continue;
    const std::size_t m = std::strtoul(line.c_str() + field + 1, nullptr, 10);
    if (m < motifs.size() && motifs[m].anchor != 0) ++count;
  }
  return count;
}

TEST(EngineEquivalence, BothSearchesWriteWhatTheReferenceWrites) {
  std::size_t hitLines = 0, anchoredHitLines = 0, anchoredCases = 0;
  for (unsigned seed = 1; seed <= 120; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomCase random(seed);
    std::vector<TestSequence> sequences = random.Sequences();
    std::vector<TestMotif> motifs = random.Motifs(sequences);
    if (seed % 3 == 1) random.AddFamilies(motifs, sequences);
    const std::string exponent = random.CutoffExponent();
    const double cutoff = CutoffFromExponent(ParseCutoffExponent(exponent.c_str()));

    TempDir dir;
    WriteMotifDatabase(dir / "motifs", motifs);
    WriteSequenceDatabase(dir / "sequences", sequences);
    if (seed % 4 == 0) random.Damage(dir / "sequences", sequences);

    const bool anchored = std::filesystem::exists(dir / "motifs-anchors.bin");
    anchoredCases += anchored;
    if (anchored && seed % 3 == 0) {
      const std::string original = ReadFile(dir / "motifs-anchors.bin");
      const std::string fault = random.DamageAnchors(dir / "motifs", motifs.size());
      const ProcessResult refused =
          RunSearch({"-l", "-m", dir / "motifs", "-s", dir / "sequences"});
      EXPECT_EQ(refused.status, 1);
      EXPECT_EQ(refused.out, "");
      EXPECT_EQ(refused.err, "brisel-search: " + fault + "\n");
      WriteFile(dir / "motifs-anchors.bin", original);
    }

    // Every database in the pipe format on each thread count; two in three
    // also in tsv or gff3 on the most threads, one in four in bed.
    std::vector<std::pair<OutputFormat, std::string>> runs = {{OutputFormat::kPipe, "1"},
                                                              {OutputFormat::kPipe, "3"}};
    if (seed % 10 == 0) runs.emplace_back(OutputFormat::kPipe, "7");
    if (seed % 3 != 0) {
      runs.emplace_back(seed % 3 == 1 ? OutputFormat::kTsv : OutputFormat::kGff3,
                        runs.back().second);
    }
    if (seed % 4 == 3) runs.emplace_back(OutputFormat::kBed, runs.back().second);
    const auto expectReference = [&](const std::vector<std::string>& args,
                                     const std::function<Streams(OutputFormat)>& reference) {
      for (const auto& [format, threads] : runs) {
        SCOPED_TRACE("-j " + threads + " format " + std::to_string(static_cast<int>(format)));
        const Streams expected = reference(format);
        std::vector<std::string> withOptions = {"-j", threads, "-F", kFormatNames[int(format)]};
        withOptions.insert(withOptions.end(), args.begin(), args.end());
        const ProcessResult result = RunSearch(withOptions);
        ASSERT_EQ(result.status, 0);
        ASSERT_EQ(result.out, expected.out);
        ASSERT_EQ(result.err, expected.err);
        if (format == OutputFormat::kPipe && threads == "1") {
          for (char c : expected.out)
            hitLines += c == '\n';
          anchoredHitLines += CountAnchoredHitLines(expected.out, motifs);
        }
      }
    };
    expectReference({"-l", "-e", exponent, "-m", dir / "motifs", "-s", dir / "sequences"},
                    [&](OutputFormat format) {
                      return ReferenceIndexed(dir / "motifs", dir / "sequences", cutoff, format);
                    });

    // The scan search reads single-line FASTA, where an empty sequence has no
    // line of its own: give those sequences one residue that is no letter.
    for (TestSequence& s : sequences) {
      if (s.text.empty()) s.text = "*";
    }
    WriteFile(dir / "input.fa", AsFasta(sequences));
    const bool fasta = random.Uniform(0, 5) != 0;
    std::vector<std::string> args = {"-l", "-b",           "-e", exponent,
                                     "-m", dir / "motifs", "-s", dir / "input.fa"};
    if (fasta) args.push_back("-f");
    if (!fasta) WriteFile(dir / "input.fa", sequences[0].text + "\n");
    expectReference(args, [&](OutputFormat format) {
      return ReferenceScan(dir / "motifs", sequences, cutoff, fasta, format);
    });
  }
  EXPECT_GT(hitLines, 5000u) << "the random databases should produce plenty of hits";
  EXPECT_GT(anchoredCases, 20u);
  EXPECT_GT(anchoredHitLines, 100u) << "and anchored motifs should hit too";
}

// The engine at every kernel level this processor runs (pass_kernels.h),
// in-process, against the reference: each database sequence's report for the
// indexed search, each text's for the scan search. The cases must exercise the
// index's stages: gapped windows, runs of several motifs, residual motifs and
// sequences searched motif by motif.
TEST(EngineEquivalence, EveryKernelLevelWritesWhatTheReferenceWrites) {
  std::vector<KernelLevel> levels;
  for (const KernelLevel level : {KernelLevel::kScalar, KernelLevel::kSse2, KernelLevel::kAvx2}) {
    if (KernelLevelAvailable(level)) levels.push_back(level);
  }
  std::size_t gappedCases = 0, sharedRunCases = 0, residualCases = 0, fallbacks = 0, hits = 0;
  std::uint32_t charToBitMap[kCharToBitMapLength];
  InitializeCharToBitMap(charToBitMap, kCharToBitMapLength);
  for (unsigned seed = 1000; seed < 1120; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomCase random(seed);
    std::vector<TestSequence> sequences = random.Sequences();
    std::vector<TestMotif> motifs = random.Motifs(sequences);
    if (seed % 3 != 0) random.AddFamilies(motifs, sequences);
    const std::string exponent = random.CutoffExponent();
    const double cutoff = CutoffFromExponent(ParseCutoffExponent(exponent.c_str()));
    const OutputFormat format = static_cast<OutputFormat>(seed % 3);
    TempDir dir;
    WriteMotifDatabase(dir / "motifs", motifs);
    WriteSequenceDatabase(dir / "sequences", sequences);
    if (seed % 4 == 0) random.Damage(dir / "sequences", sequences);

    const Streams indexed = ReferenceIndexed(dir / "motifs", dir / "sequences", cutoff, format);
    motifMappedMemoryCDT motifDb{};
    sequenceMappedMemoryCDT sequenceDb{};
    MapMotifBlocksToMemory(1, &motifDb, (dir / "motifs").c_str());
    MapSequenceBlocksToMemory(1, &sequenceDb, (dir / "sequences").c_str());
    std::vector<std::string> scanned;  // the reference's report of each text
    for (const TestSequence& s : sequences) {
      MemoryStream out;
      ReferenceScanSequence(motifDb, ">" + s.name, s.text, charToBitMap, cutoff, 1, out.file(),
                            format);
      scanned.push_back(out.Take());
    }
    const std::unique_ptr<HitLineFormatter> rows = OutputFormatOf(format).makeRows(motifDb);
    for (const KernelLevel level : levels) {
      SCOPED_TRACE("kernel level " + std::to_string(static_cast<int>(level)));
      SearchEngine engine(motifDb, cutoff, SearchKind::kIndexed, *rows, level);
      SearchEngine::Worker worker(engine);
      std::string out(OutputHeaderLine(format));
      for (std::uint32_t n = 0; n < numSequences; ++n)
        worker.SearchDatabaseSequence(sequenceDb, n, out);
      ASSERT_EQ(out, indexed.out);

      SearchEngine scanEngine(motifDb, cutoff, SearchKind::kScan, *rows, level);
      SearchEngine::Worker scanWorker(scanEngine);
      for (std::size_t i = 0; i < sequences.size(); ++i) {
        std::string text;
        scanWorker.SearchText(i, ">" + sequences[i].name, NameKind::kFastaLine, sequences[i].text,
                              text);
        ASSERT_EQ(text, scanned[i]) << "text " << i;
      }

      if (level != levels.front()) continue;
      const MotifIndex& index = engine.index();
      bool gapped = false, sharedRun = false;
      for (std::uint32_t t = 0; t < index.tableCount(); ++t) {
        gapped = gapped || index.Shape(t).span() > index.Shape(t).size;
        const IndexRun* runs = index.Runs(t);
        for (std::uint32_t r = 0; r < index.BucketRuns(t)[index.BucketCount(t)]; ++r)
          sharedRun = sharedRun || runs[r + 1].entries > runs[r].entries;
      }
      gappedCases += gapped;
      sharedRunCases += sharedRun;
      residualCases += !index.residualMotifs().empty();
      fallbacks += worker.counters().fallbackSequences;
      hits += worker.counters().hits;
    }
    UnmapSequenceBlocksFromMemory(&sequenceDb);
    UnmapMotifBlocksFromMemory(&motifDb);
  }
  EXPECT_GT(gappedCases, 12u);
  EXPECT_GT(sharedRunCases, 30u);
  EXPECT_GT(residualCases, 30u);
  EXPECT_GT(fallbacks, 10u);
  EXPECT_GT(hits, 800u) << "the index should find plenty of hits";
}

}  // namespace
