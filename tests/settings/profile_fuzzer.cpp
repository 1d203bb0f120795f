// libFuzzer target for the profile engine: any bytes read as a settings file, then one text
// and one integer written into it. Checks that nothing crashes, that a file's text comes back as
// the same bytes, that the written values read back, and that every other line and every other
// key stays as it was.
//
// A longer run by hand, from a build configured with CXX=clang++ -DKELVADO_FUZZ=ON:
//   mkdir -p /tmp/profile-corpus
//   ./tests/settings/profile_fuzzer -max_total_time=600 /tmp/profile-corpus ../tests/settings/fuzz_corpus
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "settings/file_text.h"
#include "settings/profile.h"

namespace {

using kelvado::Profile;

constexpr std::array<const char*, 5> kSections{"form", "patan", "hyoki", "pmoj", "Form"};
constexpr std::array<const char*, 6> kKeys{"left", "top", "patan", "hyoki1", "pmoj1", "TOP"};

void require(bool condition) {
  if (!condition) std::abort();
}

// Lines end at CR LF, LF or a lone CR.
std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text.compare(i, 2, "\r\n") == 0) ++i;
      result.emplace_back();
    } else {
      result.back() += text[i];
    }
  }
  return result;
}

// The edit added to the end, or touched at most one existing line, or inserted lines in one
// place.
void requireOneEdit(const std::string& before, const std::string& after) {
  if (after.starts_with(before)) return;
  const auto a = lines(before);
  const auto b = lines(after);
  std::size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
         a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
    ++suffix;
  const std::size_t changed = a.size() - prefix - suffix;
  require(changed == 0 || (changed == 1 && a.size() == b.size()));
}

std::vector<std::pair<std::string, std::string>> otherKeys(const char* section, const char* key) {
  std::vector<std::pair<std::string, std::string>> result;
  for (const char* s : kSections)
    for (const char* k : kKeys) {
      const bool same = Profile(std::string("[") + s + "]\n" + k + "=1").value(section, key).has_value();
      if (!same) result.emplace_back(s, k);
    }
  return result;
}

void writeAndCheck(Profile& profile, const char* section, const char* key, const std::string& value,
                   const std::string& expected) {
  const auto others = otherKeys(section, key);
  std::vector<std::optional<std::string>> before;
  for (const auto& [s, k] : others) before.push_back(profile.value(s, k));
  const std::string text = profile.text();
  profile.writeText(section, key, value);
  require(profile.value(section, key) == expected);
  requireOneEdit(text, profile.text());
  for (std::size_t i = 0; i < others.size(); ++i)
    require(profile.value(others[i].first, others[i].second) == before[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const char* section = input.PickValueInArray(kSections);
  const char* key = input.PickValueInArray(kKeys);
  const std::string value = input.ConsumeRandomLengthString(3000);
  const std::int32_t number = input.ConsumeIntegral<std::int32_t>();
  const std::string file = input.ConsumeRemainingBytesAsString();
  const kelvado::FileText original = kelvado::decodeFileText(file);
  require(kelvado::encodeFileText(original, original.text) == file);
  Profile profile(original.text);

  for (const char* s : kSections)
    for (const char* k : kKeys) {
      const auto text = profile.value(s, k);
      require(!text || text->size() <= Profile::kMaxValueBytes);
      profile.readInteger(s, k, 0);
    }

  const std::string line = value.substr(0, value.find_first_of("\r\n"));
  writeAndCheck(profile, section, key, value, line.substr(0, Profile::kMaxValueBytes));
  writeAndCheck(profile, section, "top", std::to_string(number), std::to_string(number));
  require(profile.readInteger(section, "top", number == 0 ? 1 : 0) == number);
  kelvado::encodeFileText(original, profile.text());
  return 0;
}
