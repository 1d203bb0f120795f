#include "settings/profile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kelvado {
namespace {

TEST(ProfileInteger, ConvertsAsTheReadIntegerOperationDoes) {
  // Texts and what they read as, four to a row.
  // clang-format off
  const struct {
    const char* text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {"100", 100},          {"0x64", 100},         {"0X64", 100},         {"$64", 100},
      {"x64", 100},          {"X64", 100},          {"$fF", 255},          {" 12", 12},
      {"+12", 12},           {"-2", -2},            {"007", 7},            {"0", 0},
      {"$FFFFFFFE", -2},     {"$000000064", 100},   {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},                   {"100px", {}},         {"-0x64", {}},
      {"", {}},              {"-$5", {}},           {"$", {}},             {"0x", {}},
      {"$100000000", {}},    {"2147483648", {}},    {"-2147483649", {}},   {"99999999999999999999", {}},
      {"12 ", {}},           {"1 2", {}},           {"-", {}},             {"ff", {}},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(parseProfileInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(ProfileRead, FindsValuesAsTheProfileServiceDoes) {
  const std::string longValue(5000, 'a');
  const struct {
    std::string text;
    std::optional<std::string> left;  // form/left
  } cases[] = {
      {"[form]\nleft=5\n", "5"},
      {"\xEF\xBB\xBF[form]\nleft=5\n", "5"},
      {"[FORM]\nLeft=5", "5"},
      {"  [ form ]  ; note\n  left  =  5  \n", "5"},
      {"[form]\r\nleft=5\r\n", "5"},
      {"[form]\rtop=1\rleft=5\r", "5"},
      {"[form]\rtop=1\r\nleft=5", "5"},
      {"[form]\rleft=1=\r[patan]\rleft=2", "1="},
      {"[form]\nleft=\"a b\"\n", "a b"},
      {"[form]\nleft='5'\n", "5"},
      {"[form]\nleft=\"a'\n", "\"a'"},
      {"[form]\nleft=\"\n", "\""},
      {"[form]\nleft=\"\"\n", ""},
      {"[form]\nleft=\n", ""},
      {"[form]\nleft=1\nleft=2\n", "1"},
      {"[form]\n;left=9\nleft\nleft=3\n", "3"},
      {"[form]\nleft=令和\n", "令和"},
      {"[form]\nleft=" + longValue + "\n", longValue.substr(0, Profile::kMaxValueBytes)},
      {"left=1\n[form]\n", std::nullopt},
      {"[form]\ntop=1\n[patan]\nleft=1\n", std::nullopt},
      {"[form]\ntop=1\n[form]\nleft=2\n", std::nullopt},
      {"[form\nleft=1\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(Profile(c.text).value("form", "left"), c.left) << c.text;
}

TEST(ProfileRead, MissingOrEmptyKeysAndMalformedIntegers) {
  const Profile p("[form]\nleft=\ntop=100px\n[pmoj]\npmoj1=\n");
  EXPECT_EQ(p.readText("pmoj", "pmoj1", "141310"), "");
  EXPECT_EQ(p.readText("pmoj", "pmoj2", "231210"), "231210");
  EXPECT_EQ(p.readInteger("form", "left", 7), 7);
  EXPECT_EQ(p.readInteger("form", "top", 7), 7);
  EXPECT_EQ(p.readInteger("hyoki", "hyoki1", 2), 2);
}

std::string written(std::string text, const char* section, const char* key, const std::string& value) {
  Profile p(std::move(text));
  p.writeText(section, key, value);
  return p.text();
}

TEST(ProfileWrite, ChangesOnlyTheValueItSets) {
  const struct {
    std::string before;
    const char* section;
    const char* key;
    std::string value;
    std::string after;
  } cases[] = {
      // In place, keeping the line's spacing and spelling and every other line.
      {"; mine\n[Form]\n  Left = 9  \nx=y\n\n[other]\nz=1\n", "form", "left", "5",
       "; mine\n[Form]\n  Left = 5  \nx=y\n\n[other]\nz=1\n"},
      {"[form]\r\nleft=9\r\n", "form", "left", "-2", "[form]\r\nleft=-2\r\n"},
      {"[form]\rleft=9\r", "form", "left", "-2", "[form]\rleft=-2\r"},
      {"[form]\nleft=\n", "form", "left", "5", "[form]\nleft=5\n"},
      {"[form]\nleft=1\nleft=2\n", "form", "left", "3", "[form]\nleft=3\nleft=2\n"},
      // A missing key goes after its section's last line, in the file's own line ending.
      {"[form]\nleft=1\n\n[patan]\n", "form", "top", "0", "[form]\nleft=1\ntop=0\n\n[patan]\n"},
      {"[form]\r\nleft=1\r\n[patan]\r\n", "form", "top", "0", "[form]\r\nleft=1\r\ntop=0\r\n[patan]\r\n"},
      {"[form]\rleft=1\r[patan]\r", "form", "top", "0", "[form]\rleft=1\rtop=0\r[patan]\r"},
      {"[form]\rleft=1", "form", "top", "0", "[form]\rleft=1\rtop=0"},
      {"[form]\nleft=1", "form", "top", "0", "[form]\nleft=1\ntop=0"},
      {"[form]", "form", "top", "0", "[form]\ntop=0"},
      {"[form]\n[form]\n", "form", "top", "0", "[form]\ntop=0\n[form]\n"},
      // A missing section goes at the end.
      {"", "form", "left", "0", "[form]\nleft=0\n"},
      {"# x\r\n", "pmoj", "pmoj1", "1", "# x\r\n[pmoj]\r\npmoj1=1\r\n"},
      {"# x\r", "pmoj", "pmoj1", "1", "# x\r[pmoj]\rpmoj1=1\r"},
      {"[form]\nleft=1", "pmoj", "pmoj1", "", "[form]\nleft=1\n[pmoj]\npmoj1="},
      // Unchanged values stay as the user wrote them.
      {"[pmoj]\npmoj1 = \"141310\" \n", "pmoj", "pmoj1", "141310", "[pmoj]\npmoj1 = \"141310\" \n"},
      // Values are written so that they read back the same.
      {"[pmoj]\npmoj1=1\n", "pmoj", "pmoj1", " a ", "[pmoj]\npmoj1=\" a \"\n"},
      {"[pmoj]\npmoj1=1\n", "pmoj", "pmoj1", "'a'", "[pmoj]\npmoj1=\"'a'\"\n"},
      {"[pmoj]\npmoj1=1\n", "pmoj", "pmoj1", "a\n[form]\nleft=1", "[pmoj]\npmoj1=a\n"},
      {"[pmoj]\npmoj1=1\n", "pmoj", "pmoj1", "a\rb", "[pmoj]\npmoj1=a\n"},
      {"[pmoj]\npmoj1=1\n", "pmoj", "pmoj1", "ab\r", "[pmoj]\npmoj1=ab\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(written(c.before, c.section, c.key, c.value), c.after) << c.before;
}

TEST(ProfileWrite, WrittenValuesReadBack) {
  for (const std::string value : {"", " ", "\"", "\"\"", " \"x\" ", "a\tb", "表", "'x\""}) {
    Profile p("[pmoj]\npmoj1=old\n");
    p.writeText("pmoj", "pmoj1", value);
    p.writeText("pmoj", "pmoj2", value);
    EXPECT_EQ(p.value("pmoj", "pmoj1"), value);
    EXPECT_EQ(p.value("pmoj", "pmoj2"), value);
  }
}

TEST(ProfileWrite, AValueBeyondTheReadLimitSurvivesASaveThatDidNotChangeIt) {
  const std::string stored = "[pmoj]\npmoj1=" + std::string(5000, '7') + "\n";
  Profile p(stored);
  p.writeText("pmoj", "pmoj1", p.readText("pmoj", "pmoj1", ""));
  EXPECT_EQ(p.text(), stored);
}

}  // namespace
}  // namespace kelvado
