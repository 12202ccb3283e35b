// SPDX-License-Identifier: MIT
// ordered_output.cpp: the chunk queue and its writer.
#include "parallel/ordered_output.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace brisel {

struct OrderedOutput::Chunk {
  std::deque<Piece> pieces;   // pushed and not yet taken by the writer
  std::size_t unwritten = 0;  // bytes pushed and not yet written
  bool complete = false;
  Groups groups;
  bool leadSeen = false;  // the writer has met the chunk's first hit output
};

OrderedOutput::OrderedOutput(OutputStream& out, OutputStream& err, std::size_t maxChunks,
                             std::size_t chunkBytes)
    : out_(out), err_(err), maxChunks_(maxChunks < 1 ? 1 : maxChunks), chunkBytes_(chunkBytes) {}

OrderedOutput::~OrderedOutput() = default;

OrderedOutput::Chunk* OrderedOutput::Open() {
  std::unique_lock lock(mutex_);
  room_.wait(lock, [&] { return stopped() || chunks_.size() < maxChunks_; });
  if (stopped()) return nullptr;
  chunks_.push_back(std::make_unique<Chunk>());
  return chunks_.back().get();
}

std::string OrderedOutput::SpareBuffer() {
  if (spares_.empty()) return {};
  std::string spare = std::move(spares_.back());
  spares_.pop_back();
  return spare;
}

void OrderedOutput::Append(Chunk& chunk, std::string& err, std::string& out) {
  if (err.empty() && out.empty()) return;
  chunk.unwritten += err.size() + out.size();
  chunk.pieces.push_back({std::move(err), std::move(out)});
  err = SpareBuffer();
  out = SpareBuffer();
  if (&chunk == chunks_.front().get()) ready_.notify_one();
}

bool OrderedOutput::Push(Chunk* chunk, std::string& err, std::string& out, const Groups& groups) {
  std::unique_lock lock(mutex_);
  if (stopped()) {
    err.clear();
    out.clear();
    return false;
  }
  chunk->groups = groups;
  Append(*chunk, err, out);
  drained_.wait(lock, [&] { return stopped() || chunk->unwritten <= chunkBytes_; });
  return !stopped();
}

void OrderedOutput::Complete(Chunk* chunk, std::string& err, std::string& out,
                             const Groups& groups) {
  const std::lock_guard lock(mutex_);
  if (stopped()) return;
  chunk->groups = groups;
  Append(*chunk, err, out);
  chunk->complete = true;
  if (chunk == chunks_.front().get()) ready_.notify_one();
}

void OrderedOutput::Close() {
  const std::lock_guard lock(mutex_);
  closed_ = true;
  ready_.notify_one();
}

void OrderedOutput::Stop() {
  const std::lock_guard lock(mutex_);
  StopLocked();
}

void OrderedOutput::StopLocked() {
  stopped_.store(true, std::memory_order_relaxed);
  room_.notify_all();
  drained_.notify_all();
  ready_.notify_all();
}

bool OrderedOutput::WritePieces(std::deque<Piece>& pieces, std::size_t dropOut) {
  for (Piece& piece : pieces) {
    err_.Write(piece.err);
    const std::size_t dropped = std::min(dropOut, piece.out.size());
    dropOut -= dropped;
    if (!out_.Write(std::string_view(piece.out).substr(dropped))) return false;
  }
  return true;
}

bool OrderedOutput::WriteAll() {
  std::unique_lock lock(mutex_);
  std::deque<Piece> taken;
  for (;;) {
    ready_.wait(lock, [&] {
      if (stopped()) return true;
      if (chunks_.empty()) return closed_;
      const Chunk& oldest = *chunks_.front();
      return !oldest.pieces.empty() || oldest.complete;
    });
    if (stopped()) return false;
    if (chunks_.empty()) return true;

    // The oldest chunk stays open while its bytes are written, so that its
    // worker's wait and the count of open chunks cover them.
    Chunk& oldest = *chunks_.front();
    taken.swap(oldest.pieces);
    std::size_t bytes = 0;
    std::size_t outBytes = 0;
    for (const Piece& piece : taken) {
      bytes += piece.err.size() + piece.out.size();
      outBytes += piece.out.size();
    }
    // The groups of the pushes that brought the chunk's first hit output
    // tell whether its header repeats the output before it.
    std::size_t dropOut = 0;
    if (!oldest.leadSeen && outBytes > 0) {
      oldest.leadSeen = true;
      if (oldest.groups.first != Groups::kNone && oldest.groups.first == lastGroup_)
        dropOut = oldest.groups.firstHeaderBytes;
    }
    lock.unlock();
    const bool written = WritePieces(taken, dropOut);
    lock.lock();

    for (Piece& piece : taken) {
      for (std::string* buffer : {&piece.err, &piece.out}) {
        if (spares_.size() >= maxChunks_ || buffer->capacity() == 0 ||
            buffer->capacity() > chunkBytes_) {
          continue;
        }
        buffer->clear();
        spares_.push_back(std::move(*buffer));
      }
    }
    taken.clear();
    if (!written) {
      StopLocked();
      return false;
    }
    oldest.unwritten -= bytes;
    drained_.notify_all();
    if (oldest.complete && oldest.pieces.empty()) {
      if (oldest.groups.last != Groups::kNone) lastGroup_ = oldest.groups.last;
      chunks_.pop_front();
      room_.notify_one();
    }
  }
}

}  // namespace brisel
