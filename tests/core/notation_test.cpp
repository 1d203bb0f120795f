#include "notation.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kelvado {
namespace {

struct Rendering {
  NotationSettings notation;
  const char* april7;
  const char* november25;
};

TEST(Notation, RendersTheDefaultAndThePatternNotations) {
  const Rendering cases[] = {
      {{2, 1, 1, 0, 1, 1}, "2003年04月07日", "2010年11月25日"},
      {{1, 4, 1, 3, 1, 0}, "03.04.07", "10.11.25"},
      {{2, 3, 1, 2, 1, 0}, "2003-04-07", "2010-11-25"},
      {{0, 0, 0, 1, 0, 0}, "4/7", "11/25"},
      {{0, 0, 0, 0, 0, 1}, "4月7日", "11月25日"},
      {{2, 4, 0, 3, 0, 0}, "2003.4.7", "2010.11.25"},
  };
  for (const Rendering& c : cases) {
    EXPECT_EQ(nengappi2moj(2003, 4, 7, c.notation), c.april7);
    EXPECT_EQ(nengappi2moj(2010, 11, 25, c.notation), c.november25);
  }
  EXPECT_EQ(kDefaultNotation, (NotationSettings{2, 1, 1, 0, 1, 1}));
}

TEST(Notation, CutsTheTwoDigitYearFromTheText) {
  EXPECT_EQ(nengappi2moj(2000, 1, 5, {1, 4, 1, 3, 1, 0}), "00.01.05");
  EXPECT_EQ(nengappi2moj(2010, 1, 5, {1, 0, 1, 0, 1, 0}), "1001月05");
}

TEST(Notation, ValuesOutsideAFieldsChoicesWriteNothingForThatPiece) {
  EXPECT_EQ(nengappi2moj(2003, 4, 7, {0, 0, 0, 0, 0, 0}), "4月7");
  EXPECT_EQ(nengappi2moj(2003, 4, 7, {5, 1, 1, 0, 1, 1}), "年04月07日");
  EXPECT_EQ(nengappi2moj(2003, 4, 7, {2, 1, 1, 4, 1, 1}), "2003年0407日");
  EXPECT_EQ(nengappi2moj(2003, 4, 7, {2, 1, 1, -1, 1, 1}), "2003年0407日");
  EXPECT_EQ(nengappi2moj(2003, 4, 7, {2, 1, 1, 0, 1, 2}), "2003年04月07");
  EXPECT_EQ(nengappi2moj(2003, 4, 7, {-7, 99, 2, 0, 9, 1}), "月日");
}

// The era year: the last day of each era, the first of the next (its 元 year), and the days
// before the first era, which keep the four-digit year.
TEST(Notation, WritesTheEraYearByNameAndByInitial) {
  const struct {
    int year, month, day;
    const char* name;
    const char* initial;
  } cases[] = {
      {1867, 12, 31, "1867", "1867"}, {1868, 1, 1, "明治元", "M1"},        {1912, 7, 29, "明治45", "M45"},
      {1912, 7, 30, "大正元", "T1"},  {1926, 12, 24, "大正15", "T15"},     {1926, 12, 25, "昭和元", "S1"},
      {1927, 1, 1, "昭和2", "S2"},    {1989, 1, 7, "昭和64", "S64"},       {1989, 1, 8, "平成元", "H1"},
      {2003, 4, 7, "平成15", "H15"},  {2019, 4, 30, "平成31", "H31"},      {2019, 5, 1, "令和元", "R1"},
      {2026, 4, 7, "令和8", "R8"},    {9999, 12, 31, "令和7981", "R7981"},
  };
  for (const auto& c : cases) {
    const std::string dayAndMonth = std::to_string(c.month) + "." + std::to_string(c.day);
    EXPECT_EQ(nengappi2moj(c.year, c.month, c.day, {3, 4, 0, 3, 0, 0}), c.name + ("." + dayAndMonth));
    EXPECT_EQ(nengappi2moj(c.year, c.month, c.day, {4, 4, 0, 3, 0, 0}), c.initial + ("." + dayAndMonth));
  }
  // With every text after the year, as forms write it.
  const char* const after[] = {"令和8年4月7日", "令和8/4/7日", "令和8-4-7日", "令和8.4.7日"};
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(nengappi2moj(2026, 4, 7, {3, i, 0, i == 1 ? 0 : i - 1, 0, 1}), after[i - 1]);
  EXPECT_EQ(nengappi2moj(2026, 4, 7, {4, 4, 0, 3, 0, 0}), "R8.4.7");
  EXPECT_EQ(nengappi2moj(2019, 5, 1, {3, 1, 0, 0, 0, 1}), "令和元年5月1日");
}

TEST(Notation, TwoDigitMonthsAndDaysReadTheSameUnderBothChoices) {
  for (int month = 10; month <= 12; ++month)
    for (int day = 10; day <= 31; ++day)
      EXPECT_EQ(nengappi2moj(2003, month, day, {0, 0, 0, 1, 0, 0}), nengappi2moj(2003, month, day, {0, 0, 1, 1, 1, 0}));
}

TEST(Notation, FieldsAreAddressedByPosition) {
  NotationSettings n{1, 2, 3, 4, 5, 6};
  for (int i = 1; i <= NotationSettings::kFieldCount; ++i) EXPECT_EQ(n.field(i), i);
  n.field(6) = 0;
  EXPECT_EQ(n.hyoki6, 0);
}

TEST(Weekday, KnownDates) {
  EXPECT_EQ(youbikeisan(2003, 4, 7), "(月)");
  EXPECT_EQ(youbikeisan(2003, 4, 6), "(日)");
  EXPECT_EQ(youbikeisan(2003, 4, 12), "(土)");
  EXPECT_EQ(youbikeisan(2010, 11, 25), "(木)");
  EXPECT_EQ(youbikeisan(2004, 1, 1), "(木)");
  EXPECT_EQ(youbikeisan(2003, 1, 1), "(水)");
  EXPECT_EQ(youbikeisan(2003, 2, 28), "(金)");
  EXPECT_EQ(youbikeisan(2000, 2, 29), "(火)");
  EXPECT_EQ(youbikeisan(1900, 3, 1), "(木)");
}

TEST(Weekday, NegativeRemaindersAndAbsurdArgumentsFallBack) {
  EXPECT_EQ(youbikeisan(2003, 4, -5000), "(？？)");
  // Overflowing sums wrap instead of trapping; whatever they give is a label.
  for (int v : {INT32_MIN, -1, INT32_MAX}) {
    const std::string label = youbikeisan(v, v, v);
    EXPECT_TRUE(label.starts_with("(") && label.ends_with(")")) << label;
  }
}

// The congruence against the standard calendar over the whole range the date picker offers.
TEST(Weekday, MatchesTheGregorianCalendarFrom1601To9999) {
  using namespace std::chrono;
  static const char* const kLabels[] = {"(日)", "(月)", "(火)", "(水)", "(木)", "(金)", "(土)"};
  for (sys_days d = sys_days{year{1601} / January / 1}; d <= sys_days{year{9999} / December / 31}; d += days{1}) {
    const year_month_day ymd{d};
    const unsigned expected = weekday{d}.c_encoding();
    ASSERT_EQ(youbikeisan(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day()))), kLabels[expected])
        << int(ymd.year()) << "-" << unsigned(ymd.month()) << "-" << unsigned(ymd.day());
  }
}

}  // namespace
}  // namespace kelvado
