// What the pool itself says of a buffer that the board contract does not
// reach: sizes against the scan, and a queued buffer freed.

#include "boards/pool/BufferPool.h"

#include <gtest/gtest.h>

namespace varnel::boards {
namespace {

constexpr PoolStatuses kStatuses{1, 2, 3, 4, 5, 6};
constexpr BoardHandle kInput = 7;

class BufferPoolTest : public ::testing::Test {
 protected:
  BufferPoolTest() { pool_.AddInput(kInput); }
  BoardHandle Allocate(uint32_t samples) {
    BoardHandle buffer = 0;
    EXPECT_EQ(kBoardSuccess, pool_.Allocate(samples, &buffer));
    return buffer;
  }
  BufferPool pool_{kStatuses};
};

TEST_F(BufferPoolTest, RefusesSizesThatHoldNoScan) {
  BoardHandle buffer = 9;
  EXPECT_EQ(kStatuses.badValue, pool_.Allocate(0, &buffer));
  EXPECT_EQ(0u, buffer);
  EXPECT_EQ(kStatuses.badValue, pool_.Allocate(BufferPool::kMaxSamples + 1, &buffer));
  const BoardHandle small = Allocate(3);
  ASSERT_EQ(kBoardSuccess, pool_.Queue(kInput, small));
  // A list longer than a queued buffer holds is refused, and the scan stays as it was.
  EXPECT_EQ(kStatuses.badValue, pool_.SetScanSize(kInput, 4));
  ASSERT_EQ(kBoardSuccess, pool_.SetScanSize(kInput, 3));
  EXPECT_EQ(kStatuses.badValue, pool_.Queue(kInput, Allocate(2)));
  // Only whole scans are filled: 3 samples hold one scan of three, 7 samples two.
  ASSERT_EQ(kBoardSuccess, pool_.Queue(kInput, Allocate(7)));
  BufferFiller filler = pool_.Filler(kInput);
  EXPECT_EQ(1u, filler.Current().capacity);
  filler.Filled(1);
  EXPECT_EQ(2u, filler.Current().capacity);
}

TEST_F(BufferPoolTest, AFreedQueuedBufferLeavesItsQueueAndTheOneBeingFilledCannotBeFreed) {
  const BoardHandle first = Allocate(4), second = Allocate(4);
  ASSERT_EQ(kBoardSuccess, pool_.Queue(kInput, first));
  ASSERT_EQ(kBoardSuccess, pool_.Queue(kInput, second));
  ASSERT_TRUE(pool_.Filler(kInput).Current());  // `first` is being filled
  EXPECT_EQ(kStatuses.busy, pool_.Free(first));
  EXPECT_EQ(kBoardSuccess, pool_.Free(second));
  EXPECT_EQ(0u, pool_.ReadyCount(kInput));
  pool_.EndFilling(kInput);
  pool_.Flush(kInput);
  BoardHandle done = 0;
  ASSERT_EQ(kBoardSuccess, pool_.TakeDone(kInput, &done));
  EXPECT_EQ(first, done);
  ASSERT_EQ(kBoardSuccess, pool_.TakeDone(kInput, &done));
  EXPECT_EQ(0u, done);
}

}  // namespace
}  // namespace varnel::boards
