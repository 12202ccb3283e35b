// SPDX-License-Identifier: MIT
// The chunk queue of the parallel searches on its own: workers that open
// chunks in order and push pieces of random sizes at random moments, against
// tiny bounds, must leave both streams exactly the chunks' bytes in chunk
// order; a failed write must stop every worker and the writer.
#include "parallel/ordered_output.h"

#include <gtest/gtest.h>

#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace brisel;

namespace {

// The bytes of piece p of chunk c, on each stream.
std::string PieceBytes(char stream, std::size_t chunk, std::size_t piece, std::size_t length) {
  std::string bytes = std::string(1, stream) + std::to_string(chunk) + "." + std::to_string(piece);
  bytes.resize(length, static_cast<char>('a' + (chunk + piece) % 26));
  return bytes + "|";
}

class FailingStream final : public OutputStream {
 public:
  explicit FailingStream(std::size_t failAfter) : failAfter_(failAfter) {}
  bool Write(std::string_view) override {
    if (failed() || ++writes_ > failAfter_) {
      Fail(EPIPE);
      return false;
    }
    return true;
  }

 private:
  std::size_t failAfter_;
  std::size_t writes_ = 0;
};

// Runs `workers` threads over `chunks` chunks of random pieces; returns the
// bytes each chunk should contribute, in chunk order.
std::string RunWorkers(OrderedOutput& output, unsigned workers, std::size_t chunks,
                       std::uint32_t seed, std::string* expectedErr) {
  std::mutex claim;
  std::size_t next = 0;
  std::vector<std::string> outs(chunks), errs(chunks);
  std::vector<std::thread> pool;
  for (unsigned w = 0; w < workers; ++w) {
    pool.emplace_back([&, w] {
      std::mt19937 random(seed + w);
      for (;;) {
        std::size_t chunk;
        OrderedOutput::Chunk* opened;
        {
          const std::lock_guard lock(claim);
          if (next == chunks) {
            output.Close();
            return;
          }
          chunk = next++;
          opened = output.Open();
          if (opened == nullptr) return;
        }
        const std::size_t pieces = random() % 6;
        for (std::size_t p = 0; p <= pieces; ++p) {
          std::string out = PieceBytes('o', chunk, p, random() % 300);
          std::string err = random() % 3 == 0 ? std::string() : PieceBytes('e', chunk, p, 5);
          outs[chunk] += out;
          errs[chunk] += err;
          if (random() % 4 == 0) std::this_thread::yield();
          if (p == pieces) {
            output.Complete(opened, err, out);
          } else if (!output.Push(opened, err, out)) {
            return;
          }
        }
      }
    });
  }
  output.WriteAll();
  for (std::thread& thread : pool)
    thread.join();
  std::string expected;
  for (std::size_t c = 0; c < chunks; ++c) {
    expected += outs[c];
    *expectedErr += errs[c];
  }
  return expected;
}

TEST(OrderedOutput, WritesEveryChunkInOrderWhateverTheWorkersDo) {
  for (const unsigned workers : {1u, 2u, 5u}) {
    for (const std::size_t maxChunks : {1u, 2u, 8u}) {
      for (const std::size_t chunkBytes : {1u, 100u, 100000u}) {
        SCOPED_TRACE(testing::Message() << workers << " workers, " << maxChunks << " chunks of "
                                        << chunkBytes << " bytes");
        StringStream out, err;
        OrderedOutput output(out, err, maxChunks, chunkBytes);
        std::string expectedErr;
        const std::string expectedOut =
            RunWorkers(output, workers, 60, workers * 7 + maxChunks, &expectedErr);
        EXPECT_FALSE(output.stopped());
        EXPECT_TRUE(out.text() == expectedOut);
        EXPECT_TRUE(err.text() == expectedErr);
      }
    }
  }
}

TEST(OrderedOutput, AFailedWriteStopsTheWorkersAndTheWriter) {
  for (const unsigned workers : {1u, 3u}) {
    FailingStream out(4);
    StringStream err;
    OrderedOutput output(out, err, 2, 50);
    std::string expectedErr;
    RunWorkers(output, workers, 200, 3, &expectedErr);  // must return
    EXPECT_TRUE(output.stopped());
    EXPECT_EQ(out.error(), EPIPE);
    EXPECT_TRUE(expectedErr.starts_with(err.text())) << "what was written comes in order";
  }
}

}  // namespace
