#include "tests/support/fault_injection.h"

#include <gtest/gtest.h>

#include <map>

namespace velbrook::test_support {
namespace {

const std::vector<Fault> kAllFaults = {Fault::kResetMidBody, Fault::kShortBody,   Fault::kStall,
                                       Fault::kNotFound,     Fault::kServerError, Fault::kRedirectLoop,
                                       Fault::kGzip,         Fault::kHugeHeaders};

std::map<Fault, int> Tally(const FaultPlan& plan, int keys) {
  std::map<Fault, int> tally;
  for (int key = 0; key < keys; ++key) {
    ++tally[plan.For(std::to_string(key))];
  }
  return tally;
}

TEST(FaultPlan, RateAndSpreadFollowTheSettingsAndTheSeedReproducesThem) {
  EXPECT_EQ(Tally(FaultPlan(1, kAllFaults, 0), 300)[Fault::kNone], 300);
  const std::map<Fault, int> always = Tally(FaultPlan(1, kAllFaults, 1000), 800);
  EXPECT_EQ(always.count(Fault::kNone), 0u);
  for (const Fault fault : kAllFaults) {
    EXPECT_GT(always.at(fault), 50) << FaultName(fault);  // 100 expected of each
  }
  const int healthy = Tally(FaultPlan(7, kAllFaults, 300), 1000)[Fault::kNone];
  EXPECT_GT(healthy, 630);
  EXPECT_LT(healthy, 770);

  const FaultPlan a(42, kAllFaults, 500);
  const FaultPlan b(42, kAllFaults, 500);
  const FaultPlan other(43, kAllFaults, 500);
  int differences = 0;
  for (int key = 0; key < 200; ++key) {
    EXPECT_EQ(a.For(std::to_string(key)), b.For(std::to_string(key)));
    differences += a.For(std::to_string(key)) != other.For(std::to_string(key));
  }
  EXPECT_GT(differences, 50);
}

}  // namespace
}  // namespace velbrook::test_support
