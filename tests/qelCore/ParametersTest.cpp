// Optional parameters and parameter collections.
#include <gtest/gtest.h>

#include "qelCore/Parameters.h"
#include "support/CapturingLogger.h"

TEST(Parameter, UnsetUntilSetWithTextForm) {
  oxltest::CapturingLogger log;
  qel::Parameter<unsigned int, qel::NoValidator<unsigned int>> p;
  EXPECT_FALSE(p.IsSet());
  EXPECT_THROW(p.GetValue(), qel::QELRuntimeError);
  EXPECT_EQ(p.GetValueOr(7), 7u);
  p.SetValue(1024);
  EXPECT_TRUE(p.IsSet());
  EXPECT_EQ(p.GetValue(), 1024u);
  EXPECT_EQ(p.GetText(), "1024");
  p.SetValue(7);
  EXPECT_EQ(p.GetText(), "7");
  p.Reset();
  EXPECT_FALSE(p.IsSet());
  EXPECT_EQ(p.GetText(), "");
}

namespace {
struct Positive {
  bool operator()(int v) const { return v > 0; }
};
}  // namespace

TEST(Parameter, ValidatorRefusesAndKeepsOldValue) {
  oxltest::CapturingLogger log;
  qel::Parameter<int, Positive> p;
  p.SetValue(3);
  EXPECT_THROW(p.SetValue(-1), qel::QELRuntimeError);
  EXPECT_EQ(p.GetValue(), 3);
}

TEST(ParametersCollection, DefaultsOverridesAndUnknownNames) {
  oxltest::CapturingLogger log;
  auto prototype = qel::CreateParametersCollectionPrototype();
  prototype->Declare("bufferSize", "65536");
  auto instance = qel::CreateParametersCollectionInstance(prototype);
  EXPECT_EQ(instance->Get<unsigned int>("bufferSize"), 65536u);
  instance->Set("bufferSize", 1024);
  EXPECT_EQ(instance->Get<unsigned int>("bufferSize"), 1024u);
  EXPECT_EQ(prototype->GetDefault("bufferSize"), "65536");
  EXPECT_THROW(instance->SetText("nope", "1"), qel::QELRuntimeError);
  EXPECT_THROW(instance->GetText("nope"), qel::QELRuntimeError);
  instance->SetText("bufferSize", "lots");
  EXPECT_THROW(instance->Get<unsigned int>("bufferSize"), qel::QELRuntimeError);
}

TEST(ParametersCollection, EmptyPrototypeGivesEmptyInstance) {
  auto instance = qel::CreateParametersCollectionInstance(qel::CreateParametersCollectionPrototype());
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->GetCount(), 0u);
  EXPECT_EQ(qel::CreateParametersCollectionInstance(nullptr), nullptr);
}
