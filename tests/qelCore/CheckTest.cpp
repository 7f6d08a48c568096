// Failure texts, their logging, and the stderr fallback of the logger.
#include <gtest/gtest.h>

#include <functional>

#include "qelCore/Check.h"
#include "qelCore/Logger.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"

TEST(CheckFailureTexts, EachCheckHasItsSuffix) {
  oxltest::CapturingLogger log;
  const int* none = nullptr;
  EXPECT_EQ(oxltest::QelFailure([&] { QEL_CHECK_NOT_NULL(none, "registryEntry"); }), "[registryEntry] [ Pointer is null ]");
  EXPECT_EQ(oxltest::QelFailure([] { QEL_CHECK_TRUE(1 == 2, "GetNextData error"); }), "[GetNextData error] [ Condition is not true ]");
  EXPECT_EQ(oxltest::QelFailure([] { QEL_CHECK_FALSE(true, "busy"); }), "[busy] [ Condition is not false ]");
  EXPECT_EQ(oxltest::QelFailure([] { QEL_CHECK_NOT_EMPTY(std::string(), "Need at least one index entry"); }),
            "[Need at least one index entry] [ object is empty ]");
  EXPECT_EQ(oxltest::QelFailure([] { QEL_FAIL("invalid video system"); }), "[invalid video system]");
}

TEST(CheckFailureTexts, ComparisonsPrintBothValues) {
  oxltest::CapturingLogger log;
  EXPECT_EQ(oxltest::QelFailure([] { QEL_CHECK_GE(3, 8, "Failed to read 8 bytes at 100"); }),
            "[Failed to read 8 bytes at 100] [ value1 (3) is not >= value2 (8) ]");
  EXPECT_EQ(oxltest::QelFailure([] { QEL_CHECK_EQ(0, 1, "Failed to read file"); }),
            "[Failed to read file] [ value1 (0) is not == value2 (1) ]");
  EXPECT_EQ(oxltest::QelFailure([] { QEL_CHECK_NE(5u, 5u, "m"); }), "[m] [ value1 (5) is not != value2 (5) ]");
  EXPECT_EQ(oxltest::QelFailure([] { QEL_CHECK_LT(9, 2, "m"); }), "[m] [ value1 (9) is not < value2 (2) ]");
  const unsigned char byte = 200;  // bytes print as numbers, not characters
  EXPECT_EQ(oxltest::QelFailure([&] { QEL_CHECK_LT(byte, 1, "m"); }), "[m] [ value1 (200) is not < value2 (1) ]");
}

TEST(CheckFailureTexts, PassingChecksDoNotEvaluateTheMessage) {
  int evaluated = 0;
  auto message = [&] { ++evaluated; return std::string("m"); };
  QEL_CHECK_TRUE(true, message());
  QEL_CHECK_GE(2, 1, message());
  EXPECT_EQ(evaluated, 0);
}

TEST(CheckLogging, FailureIsLoggedAtErrorLevelWithSourceWithoutExtension) {
  oxltest::CapturingLogger log;
  const int line = __LINE__ + 1;
  EXPECT_THROW(QEL_CHECK_TRUE(false, "x"), qel::QELRuntimeError);
  ASSERT_EQ(log.lines().size(), 1u);
  const auto& l = log.lines()[0];
  EXPECT_EQ(l.level, qel::LogLevel::Error);
  EXPECT_EQ(static_cast<int>(l.level), 2);
  EXPECT_EQ(l.text, "[x] [ Condition is not true ]");
  EXPECT_EQ(l.source, "tests/qelCore/CheckTest");
  EXPECT_EQ(l.line, std::to_string(line));
  EXPECT_EQ(l.function, "");
  EXPECT_FALSE(l.threadId.empty());
  EXPECT_EQ(l.time.size(), 23u);  // YYYY-MM-DD hh:mm:ss.mmm
}

TEST(CheckLogging, ContextStringReachesTheWriter) {
  oxltest::CapturingLogger log;
  qel::SetCurrentContextString("clip 42");
  qel::Log(qel::LogLevel::Info, "hello", "a/b.cpp", 7);
  qel::SetCurrentContextString("");
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0].context, "clip 42");
  EXPECT_EQ(log.lines()[0].source, "a/b");
}

TEST(CheckLogging, WithoutWriterLevelNameAndTextGoToStandardError) {
  ASSERT_EQ(qel::GetCurrentLoggerWriter(), nullptr);
  testing::internal::CaptureStderr();
  qel::Log(qel::LogLevel::Error, "disk gone", "x.cpp", 1);
  qel::Log(qel::LogLevel::Info, "[MILESTONE][m]", "x.cpp", 2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR disk gone\nINFO [MILESTONE][m]\n");
}

TEST(CheckLogging, SourceNameKeepsDirectoriesAndDotsInThem) {
  EXPECT_EQ(qel::SourceName("OXLDataReader/OXL_QuickTime/TrackIndex.cpp"), "OXLDataReader/OXL_QuickTime/TrackIndex");
  EXPECT_EQ(qel::SourceName("v1.2/file"), "v1.2/file");
  EXPECT_EQ(qel::SourceName(nullptr), "");
}
