// SPDX-License-Identifier: MIT
#include "translation/reading_frames.h"

#include <stdexcept>

namespace brisel {
namespace {

constexpr std::string_view kFrameHint =
    ": frames are +1, +2, +3, -1, -2, -3, or all, forward, reverse";

// The frame that a list item names: an optional sign and one digit 1 to 3.
std::optional<ReadingFrame> ParseFrameItem(std::string_view item) {
  int sign = 1;
  if (!item.empty() && (item.front() == '+' || item.front() == '-')) {
    sign = item.front() == '-' ? -1 : 1;
    item.remove_prefix(1);
  }
  if (item.size() != 1 || item[0] < '1' || item[0] > '3') return std::nullopt;
  return ReadingFrame::FromNumber(sign * (item[0] - '0'));
}

}  // namespace

std::string ReadingFrame::name() const {
  return std::string(1, reverse() ? '-' : '+') + static_cast<char>('0' + offset() + 1);
}

std::vector<ReadingFrame> FrameSet::frames() const {
  std::vector<ReadingFrame> frames;
  for (int index = 0; index < 6; ++index)
    if ((bits_ >> index & 1) != 0) frames.push_back(ReadingFrame::FromIndex(index));
  return frames;
}

FrameSet ParseFrames(std::string_view argument) {
  if (argument == "all") return FrameSet::All();
  if (argument == "forward") return FrameSet::Forward();
  if (argument == "reverse") return FrameSet::Reverse();
  if (argument.empty()) throw std::invalid_argument("no frame given" + std::string(kFrameHint));
  FrameSet frames;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = argument.find(',', start);
    const std::string_view item = argument.substr(start, comma - start);
    if (item.empty())
      throw std::invalid_argument("an empty item in the frame list '" + std::string(argument) +
                                  "'" + std::string(kFrameHint));
    const std::optional<ReadingFrame> frame = ParseFrameItem(item);
    if (!frame)
      throw std::invalid_argument("'" + std::string(item) + "' is not a frame" +
                                  std::string(kFrameHint));
    if (frames.contains(*frame))
      throw std::invalid_argument("frame " + frame->name() + " is given twice in '" +
                                  std::string(argument) + "'");
    frames.insert(*frame);
    if (comma == std::string_view::npos) return frames;
    start = comma + 1;
  }
}

}  // namespace brisel
