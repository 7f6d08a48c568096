// Failure texts, their logging, the stderr fallback of the logger, and
// optional parameters.
#include <gtest/gtest.h>

#include <functional>

#include "qelCore/Check.h"
#include "qelCore/Logger.h"
#include "qelCore/Parameters.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"

using oxltest::QelFailure;

TEST(Check, EachCheckHasItsSuffixAndComparisonsPrintBothValues) {
  oxltest::CapturingLogger log;
  const unsigned char byte = 200;  // bytes print as numbers, not characters
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[] { QEL_CHECK_FALSE(true, "busy"); }, "[busy] [ Condition is not false ]"},
      {[] { QEL_CHECK_NOT_EMPTY(std::string(), "m"); }, "[m] [ object is empty ]"},
      {[&] { QEL_CHECK_LT(byte, 1, "m"); }, "[m] [ value1 (200) is not < value2 (1) ]"},
  };
  for (const auto& [check, text] : cases) EXPECT_EQ(QelFailure(check), text);
  int evaluated = 0;  // passing checks do not build their message
  auto message = [&] { ++evaluated; return std::string("m"); };
  QEL_CHECK_GE(2, 1, message());
  QEL_CHECK_LT(1, 2, message());
  EXPECT_EQ(evaluated, 0);
}

TEST(Check, FailureIsLoggedAtErrorLevelWithSourceWithoutExtension) {
  oxltest::CapturingLogger log;
  const int line = __LINE__ + 1;
  EXPECT_THROW(QEL_CHECK_TRUE(false, "x"), qel::QELRuntimeError);
  ASSERT_EQ(log.lines().size(), 1u);
  const auto& l = log.lines()[0];
  EXPECT_EQ(l.level, qel::LogLevel::Error);
  EXPECT_EQ(l.source, "tests/qelCore/CheckTest");
  EXPECT_EQ(l.line, std::to_string(line));
  EXPECT_EQ(l.time.size(), 23u);  // YYYY-MM-DD hh:mm:ss.mmm
  qel::SetCurrentContextString("clip 42");
  qel::Log(qel::LogLevel::Info, "hello", "v1.2/b.cpp", 7);
  qel::SetCurrentContextString("");
  EXPECT_EQ(log.lines()[1].context, "clip 42");
  EXPECT_EQ(log.lines()[1].source, "v1.2/b");
}

TEST(Check, WithoutWriterLevelNameAndTextGoToStandardError) {
  ASSERT_EQ(qel::GetCurrentLoggerWriter(), nullptr);
  testing::internal::CaptureStderr();
  qel::Log(qel::LogLevel::Error, "disk gone", "x.cpp", 1);
  qel::Log(qel::LogLevel::Info, "[MILESTONE][m]", "x.cpp", 2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR disk gone\nINFO [MILESTONE][m]\n");
  EXPECT_EQ(qel::ToString(static_cast<qel::LogLevel>(7)), "7");  // past TRACE: its number
}

namespace {
struct Positive {
  bool operator()(int v) const { return v > 0; }
};
}  // namespace

TEST(Parameters, ValidatedValuesDefaultsAndUnknownNames) {
  oxltest::CapturingLogger log;
  qel::Parameter<int, Positive> positive;
  EXPECT_THROW(positive.GetValue(), qel::QELRuntimeError);
  EXPECT_EQ(positive.GetValueOr(7), 7);
  positive.SetValue(3);
  EXPECT_THROW(positive.SetValue(-1), qel::QELRuntimeError);
  EXPECT_EQ(positive.GetText(), "3");
  auto prototype = qel::CreateParametersCollectionPrototype();
  prototype->Declare("bufferSize", "65536");
  auto instance = qel::CreateParametersCollectionInstance(prototype);
  EXPECT_EQ(instance->Get<unsigned int>("bufferSize"), 65536u);
  instance->Set("bufferSize", 1024);
  EXPECT_EQ(instance->Get<unsigned int>("bufferSize"), 1024u);
  EXPECT_THROW(instance->SetText("nope", "1"), qel::QELRuntimeError);
  instance->SetText("bufferSize", "lots");
  EXPECT_THROW(instance->Get<unsigned int>("bufferSize"), qel::QELRuntimeError);
}
