// Optional parameters and parameter collections.
#include <gtest/gtest.h>

#include "qelCore/Parameters.h"
#include "support/CapturingLogger.h"

namespace {
struct Positive {
  bool operator()(int v) const { return v > 0; }
};
}  // namespace

TEST(Parameter, UnsetUntilSetAndValidated) {
  oxltest::CapturingLogger log;
  qel::Parameter<unsigned int, qel::NoValidator<unsigned int>> p;
  EXPECT_THROW(p.GetValue(), qel::QELRuntimeError);
  EXPECT_EQ(p.GetValueOr(7), 7u);
  p.SetValue(1024);
  EXPECT_TRUE(p.IsSet());
  EXPECT_EQ(p.GetText(), "1024");
  p.Reset();
  EXPECT_FALSE(p.IsSet());
  EXPECT_EQ(p.GetText(), "");
  qel::Parameter<int, Positive> positive;
  positive.SetValue(3);
  EXPECT_THROW(positive.SetValue(-1), qel::QELRuntimeError);
  EXPECT_EQ(positive.GetValue(), 3);
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
  EXPECT_EQ(qel::CreateParametersCollectionInstance(qel::CreateParametersCollectionPrototype())->GetCount(), 0u);
  EXPECT_EQ(qel::CreateParametersCollectionInstance(nullptr), nullptr);
}
