// The scans that take the text many bytes at a time agree with a byte-at-a-time reading at
// every length and alignment: the code-page vote, the parse's copy of ordinary bytes and its
// marks of the bytes that end a run.
#include <gtest/gtest.h>

#include <random>

#include "metadata/MetaStoreImpl.h"
#include "metadata/Scan.h"
#include "tests/unit/store_util.h"

using namespace kalamos;

namespace {

// The vote's rule, a byte at a time.
void PlainVote(const std::string& text, size_t& low, size_t& high) {
  low = high = 0;
  for (unsigned char c : text) {
    if (c == 0) break;
    low += c >= 0x80 && c <= 0xAF;
    high += c >= 0xC0;
  }
}

}  // namespace

TEST(StoreScan, VoteCountsAsTheByteRuleAtEveryLengthAndOffset) {
  std::mt19937 random(7);
  // The bytes at the edges of both ranges, and others.
  const unsigned char pool[] = {0x7F, 0x80, 0x81, 0xAE, 0xAF, 0xB0, 0xBF, 0xC0, 0xC1, 0xFE, 0xFF, 'a', ' ', 1};
  std::string buffer(9000, 'x');
  for (char& c : buffer) c = char(pool[random() % sizeof pool]);
  // Past 255 chunks of a lane's count too, so that lanes are summed before they overflow.
  for (size_t length : {0, 1, 7, 15, 16, 17, 31, 33, 255, 4079, 4080, 4081, 4096, 8191}) {
    for (size_t offset = 0; offset < 16; ++offset) {
      const std::string text = buffer.substr(offset, length);
      TOemVote vote;
      vote.Count(text.data(), text.size());
      size_t low = 0, high = 0;
      PlainVote(text, low, high);
      ASSERT_EQ(vote.Low, low) << length << "@" << offset;
      ASSERT_EQ(vote.High, high) << length << "@" << offset;
    }
  }
  // All of one range, so that every lane counts on every chunk.
  TOemVote vote;
  const std::string upper(5000, char(0xC5));
  vote.Count(upper.data(), upper.size());
  EXPECT_EQ(vote.High, 5000u);
  EXPECT_EQ(vote.Low, 0u);
}

TEST(StoreScan, VoteStopsAtTheFirstZeroByte) {
  std::string text(100, char(0x85));
  text[40] = '\0';
  text += std::string(100, char(0xC5));
  TOemVote vote;
  vote.Count(text.data(), text.size());
  EXPECT_EQ(vote.Low, 40u);
  EXPECT_EQ(vote.High, 0u);
  // A later piece does not count either.
  vote.Count(text.data() + 50, 20);
  EXPECT_EQ(vote.Low, 40u);
}

TEST(StoreScan, NodeTextsKeepEveryOrdinaryByteWhereverTheBracesAndControlBytesFall) {
  // Runs of ordinary bytes of every length up to past two chunks, each followed by a
  // control byte, a brace or the end: every position within a chunk meets each of them.
  for (int run = 0; run <= 40; ++run) {
    for (const char* after : {"\r\n", "\t", "}", ""}) {
      std::string text = "{\"1\",\"";
      std::string expected = "\"";
      for (int i = 0; i < run; ++i) {
        text += char('a' + i % 26);
        expected += char('a' + i % 26);
      }
      text += after;
      text += "z\"}";
      if (std::string(after) != "}") expected += "z\"";
      SCOPED_TRACE(std::to_string(run) + " bytes before " + (*after ? std::to_string(int(after[0])) : "the end"));
      auto store = StoreOf(text);
      int32_t position = -1;
      ASSERT_TRUE(store->FindId("1", position));
      EXPECT_EQ(store->TextAt(position), expected);
    }
  }
}

#if defined(KALAMOS_SCAN_SSE2)
TEST(StoreScan, BlockLanesMarkRunEndsAndCountTheVoteAsTheByteRule) {
  if (!HasSse2()) GTEST_SKIP() << "no SSE2 on this processor";
  std::mt19937 random(11);
  // Every byte value, so that each class meets every lane.
  std::string buffer(70000, 'x');
  for (char& c : buffer) c = char(random() % 256);
  for (char& c : buffer)
    if (c == 0) c = 'z';  // the lanes count up to a zero byte only when none is there
  size_t low = 0, high = 0, chunks = 0;
  TBlockLanes lanes;
  for (size_t at = 0; at + 16 <= buffer.size(); at += 16) {
    const uint64_t mask = lanes.Specials(buffer.data() + at);
    for (size_t i = 0; i < 16; ++i) {
      const unsigned char c = buffer[at + i];
      ASSERT_EQ((mask >> i) & 1, uint64_t(c < 0x20 || c == '{' || c == '}')) << at + i;
    }
    // Summed as the parse does it: well before a lane's count can pass 255.
    if (++chunks == 252) {
      lanes.Sum(low, high);
      chunks = 0;
    }
  }
  lanes.Sum(low, high);
  size_t plainLow = 0, plainHigh = 0;
  PlainVote(buffer.substr(0, buffer.size() / 16 * 16), plainLow, plainHigh);
  EXPECT_EQ(low, plainLow);
  EXPECT_EQ(high, plainHigh);
  EXPECT_FALSE(lanes.SawZero());
  buffer[100] = '\0';
  lanes.Specials(buffer.data() + 96);
  EXPECT_TRUE(lanes.SawZero());
}
#endif
