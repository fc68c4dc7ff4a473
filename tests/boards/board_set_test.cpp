#include "boards/BoardSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "boards/sim/SimulatedBoard.h"
#include "support/TempDir.h"

namespace varnel::boards {
namespace {

using test::TempDir;
using test::WriteFile;

// Two kinds, each a simulated board with boards of its own names.
class BoardSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_.File("a.ini"), "[Boards]\nCount=1\n[Board0]\nName=First\nChannels=4\n");
    WriteFile(dir_.File("b.ini"), "[Boards]\nCount=2\n[Board0]\nName=Second\nChannels=2\n[Board1]\nName=Third\n");
    std::vector<std::unique_ptr<BoardApi>> kinds;
    kinds.push_back(sim::MakeSimulatedBoard(dir_.File("a.ini")));
    kinds.push_back(sim::MakeSimulatedBoard(dir_.File("b.ini")));
    set_ = std::make_unique<BoardSet>(std::move(kinds));
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    set_->EnumerateBoards([&](std::string_view n) { return names.emplace_back(n), 1; });
    return names;
  }
  int32_t Channels(std::string_view name) {
    BoardHandle board = 0, sub = 0;
    EXPECT_EQ(kBoardSuccess, set_->InitializeBoard(name, &board));
    EXPECT_EQ(kBoardSuccess, set_->GetSubsystem(board, &sub));
    double channels = 0;
    EXPECT_EQ(kBoardSuccess, set_->GetSubsystemCapability(sub, BoardCapability::ChannelCount, &channels));
    EXPECT_EQ(kBoardSuccess, set_->ReleaseSubsystem(sub));
    EXPECT_EQ(kBoardSuccess, set_->TerminateBoard(board));
    return static_cast<int32_t>(channels);
  }
  TempDir dir_;
  std::unique_ptr<BoardSet> set_;
};

TEST_F(BoardSetTest, ListsEveryKindInOrderAndRoutesByName) {
  EXPECT_EQ((std::vector<std::string>{"First", "Second", "Third"}), Names());
  EXPECT_EQ(4, Channels("First"));
  EXPECT_EQ(2, Channels("Second"));
}

TEST_F(BoardSetTest, RefusesNamesAndHandlesItNeverListed) {
  Names();
  BoardHandle board = 0;
  EXPECT_EQ(kUnknownBoardStatus, set_->InitializeBoard("Nobody", &board));
  double value = 0;
  EXPECT_EQ(kBadHandleStatus, set_->GetSubsystemCapability(12345, BoardCapability::ChannelCount, &value));
  EXPECT_EQ(kBadHandleStatus, set_->FreeBuffer(777));
}

TEST_F(BoardSetTest, BuffersBelongToTheOpenBoardsKindAndComeBackWithTheirHandles) {
  Names();
  BoardHandle board = 0, sub = 0, buffer = 0, done = 0;
  ASSERT_EQ(kBoardSuccess, set_->InitializeBoard("Third", &board));
  ASSERT_EQ(kBoardSuccess, set_->GetSubsystem(board, &sub));
  ASSERT_EQ(kBoardSuccess, set_->AllocateBuffer(64, &buffer));
  ASSERT_EQ(kBoardSuccess, set_->QueueReadyBuffer(sub, buffer));
  ASSERT_EQ(kBoardSuccess, set_->EndAcquisitionAndFlush(sub));
  ASSERT_EQ(kBoardSuccess, set_->TakeDoneBuffer(sub, &done));
  EXPECT_EQ(buffer, done);
  EXPECT_EQ(kBoardSuccess, set_->FreeBuffer(done));
  EXPECT_EQ(kBadHandleStatus, set_->FreeBuffer(done));
}

}  // namespace
}  // namespace varnel::boards
