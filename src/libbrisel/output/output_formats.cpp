// SPDX-License-Identifier: MIT
// output_formats.cpp: the table of formats and field escaping.
#include "output/output_formats.h"

#include <cstring>

#include "output/hit_lines.h"

namespace brisel {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void AppendPercentEscape(std::string& out, unsigned char byte) {
  const char escape[3] = {'%', kHexDigits[byte >> 4], kHexDigits[byte & 15]};
  out.append(escape, 3);
}

// Tables of the bytes each kind of field escapes, looked up once per byte.
struct EscapeTable {
  bool escapes[256] = {};
};

constexpr EscapeTable MakeTsvTable() {
  EscapeTable table;
  for (const unsigned char byte : {'\t', '\n', '\r', '\\'})
    table.escapes[byte] = true;
  return table;
}

constexpr EscapeTable MakeGff3ValueTable() {
  EscapeTable table;
  for (int byte = 0; byte < 256; ++byte)
    table.escapes[byte] = byte < 0x20 || byte >= 0x7F;
  for (const unsigned char byte : {'%', ';', '=', '&', ','})
    table.escapes[byte] = true;
  return table;
}

constexpr EscapeTable MakeGff3SeqidTable() {
  EscapeTable table;
  for (int byte = 0; byte < 256; ++byte) {
    const bool alphanumeric = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                              (byte >= '0' && byte <= '9');
    table.escapes[byte] = !alphanumeric;
  }
  for (const unsigned char byte : {'.', ':', '^', '*', '$', '@', '!', '+', '_', '?', '|', '-'})
    table.escapes[byte] = false;
  return table;
}

constexpr EscapeTable kTsvEscapes = MakeTsvTable();
constexpr EscapeTable kGff3ValueEscapes = MakeGff3ValueTable();
constexpr EscapeTable kGff3SeqidEscapes = MakeGff3SeqidTable();

// Appends `text`, escaping the bytes for which `needsEscape` holds with
// `escape`; runs of plain bytes are appended whole.
template <typename Escape>
void AppendEscaped(std::string& out, std::string_view text, const EscapeTable& table,
                   Escape escape) {
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!table.escapes[byte]) [[likely]]
      continue;
    out.append(text.data() + plain, i - plain);
    escape(out, byte);
    plain = i + 1;
  }
  out.append(text.data() + plain, text.size() - plain);
}

}  // namespace

std::string_view UntilNul(std::string_view text) {
  // An empty view may hold a null pointer, which strnlen must not be given.
  if (text.empty()) return text;
  return text.substr(0, ::strnlen(text.data(), text.size()));
}

namespace {

constexpr OutputFormatEntry kOutputFormats[] = {
    {OutputFormat::kPipe, "pipe", "", "(the default, shown below)",
     "  >OPSD_HUMAN P08100 Rhodopsin (Opsin-2)\n"
     "  3.71e-05|1.000|1.112e-07|PS00238 OPSIN|IPAFFAKSAAIYNPVIY|290|306\n",
     MakePipeRows, "", MakePipeTranslatedRows},
    {OutputFormat::kTsv, "tsv",
     "#name\tstart\tend\trecord\tsegment\tspecificity\texpectation\tp_no_random_hit\n",
     "(a '#' header line, then one tab-separated row per hit)",
     "  #name<TAB>start<TAB>end<TAB>record<TAB>segment<TAB>specificity<TAB>expectation<TAB>\n"
     "  p_no_random_hit\n"
     "  OPSD_HUMAN P08100 Rhodopsin (Opsin-2)<TAB>290<TAB>306<TAB>PS00238 OPSIN<TAB>\n"
     "  IPAFFAKSAAIYNPVIY<TAB>1.112e-07<TAB>3.71e-05<TAB>1.000\n",
     MakeTsvRows,
     "#name\tstart\tend\tstrand\tframe\trecord\tsegment\tspecificity\texpectation\t"
     "p_no_random_hit\n",
     MakeTsvTranslatedRows},
    {OutputFormat::kGff3, "gff3", "##gff-version 3\n", "(GFF3 features of type polypeptide_motif)",
     "  ##gff-version 3\n"
     "  OPSD_HUMAN<TAB>brisel<TAB>polypeptide_motif<TAB>290<TAB>306<TAB>3.71e-05<TAB>.<TAB>.<TAB>\n"
     "  Name=PS00238;Note=PS00238 OPSIN;specificity=1.112e-07;segment=IPAFFAKSAAIYNPVIY;\n"
     "  p_no_random_hit=1.000\n",
     MakeGff3Rows, "##gff-version 3\n", MakeGff3TranslatedRows},
    {OutputFormat::kBed, "bed", "",
     "(BED6: chrom, 0-based start, end, motif, score from E,\nstrand; no header line)",
     "  OPSD_HUMAN<TAB>289<TAB>306<TAB>PS00238<TAB>443<TAB>.\n", MakeBedRows, "",
     MakeBedTranslatedRows},
};

}  // namespace

std::span<const OutputFormatEntry> OutputFormats() {
  return kOutputFormats;
}

const OutputFormatEntry& OutputFormatOf(OutputFormat format) {
  for (const OutputFormatEntry& entry : kOutputFormats)
    if (entry.format == format) return entry;
  return kOutputFormats[0];
}

std::unique_ptr<HitLineFormatter> MakeRows(OutputFormat format, const MotifViews& motifs,
                                           bool translated) {
  const OutputFormatEntry& entry = OutputFormatOf(format);
  return translated ? entry.makeTranslatedRows(motifs) : entry.makeRows(motifs);
}

std::optional<OutputFormat> ParseOutputFormat(std::string_view name) {
  for (const OutputFormatEntry& entry : kOutputFormats)
    if (entry.name == name) return entry.format;
  return std::nullopt;
}

std::string OutputFormatNames(std::string_view lastJoin) {
  std::string names;
  const std::size_t count = std::size(kOutputFormats);
  for (std::size_t f = 0; f < count; ++f) {
    if (f > 0) names += f + 1 == count ? lastJoin : ", ";
    names += kOutputFormats[f].name;
  }
  return names;
}

std::string_view PlainName(std::string_view name, NameKind kind) {
  if (kind == NameKind::kNone) return {};
  name = UntilNul(name);
  if (kind == NameKind::kFastaLine && !name.empty() && name.front() == '>') name.remove_prefix(1);
  return name;
}

void AppendTsvField(std::string& out, std::string_view text) {
  AppendEscaped(out, UntilNul(text), kTsvEscapes, [](std::string& to, unsigned char byte) {
    to += '\\';
    to += byte == '\t' ? 't' : byte == '\n' ? 'n' : byte == '\r' ? 'r' : '\\';
  });
}

void AppendGff3Value(std::string& out, std::string_view text) {
  AppendEscaped(out, UntilNul(text), kGff3ValueEscapes, AppendPercentEscape);
}

void AppendGff3Seqid(std::string& out, std::string_view name) {
  const std::string_view word = FirstWord(UntilNul(name));
  if (word.empty()) {
    out += "sequence";
    return;
  }
  AppendEscaped(out, word, kGff3SeqidEscapes, AppendPercentEscape);
}

std::string_view FirstWord(std::string_view text) {
  std::size_t end = 0;
  while (end < text.size() && !IsWhiteSpace(text[end]))
    ++end;
  return text.substr(0, end);
}

}  // namespace brisel
