#include "settings/settings_file.h"

#include <array>
#include <utility>

#include "kelvado_.h"
#include "placement.h"
#include "program.h"
#include "settings/file_store.h"
#include "settings/file_text.h"
#include "settings/profile.h"

namespace kelvado {
namespace {

// The three flags of section "patan", in the order they are read and written.
struct FlagKey {
  const char* key;
  std::int32_t ProgramState::*value;
};
constexpr std::array<FlagKey, 3> kFlagKeys{{
    {"patan", &ProgramState::patan},
    {"yobichek", &ProgramState::yobichek},
    {"staytop", &ProgramState::staytop},
}};
constexpr std::int32_t kFlagDefault = 1;

constexpr std::array<const char*, NotationSettings::kFieldCount> kHyokiKeys{"hyoki1", "hyoki2", "hyoki3",
                                                                            "hyoki4", "hyoki5", "hyoki6"};
constexpr std::array<const char*, 5> kPmojKeys{"pmoj1", "pmoj2", "pmoj3", "pmoj4", "pmoj5"};
constexpr std::array<const char*, 5> kPmojDefaults{"141310", "231210", "000100", "000001", "240300"};

std::string pathOf(Program& program) { return settingsPath(program.platform.executablePath()); }

[[noreturn]] void cannotWrite(const std::string& path, std::string reason) {
  throw Error(path + " に書き込めません", std::move(reason));
}

}  // namespace

std::string settingsPath(std::string_view executablePath) {
  // Bytes of a multi-byte UTF-8 character are all above 0x7F: none is taken for these.
  const std::size_t name = executablePath.find_last_of("/\\:") + 1;  // 0 when there is no folder
  const std::size_t dot = executablePath.rfind('.');
  const std::size_t stem = dot != std::string_view::npos && dot >= name ? dot : executablePath.size();
  return std::string(executablePath.substr(0, stem)) + ".ini";
}

void iniyomi(Program& program) {
  FileStore::Contents file = program.settingsFiles->read(pathOf(program));
  if (file.status == FileStore::Contents::Status::Unreadable) program.state.settingsNotRead = file.reason;
  const Profile ini(file.status == FileStore::Contents::Status::Read ? decodeFileText(std::move(file.bytes)).text
                                                                     : std::string());
  TForm1& form = *program.Form1;
  form.setLeft(ini.readInteger("form", "left", 0));
  form.setTop(ini.readInteger("form", "top", 0));
  monitanai(form, program.monitors);
  ProgramState& s = program.state;
  for (const FlagKey& flag : kFlagKeys) s.*flag.value = ini.readInteger("patan", flag.key, kFlagDefault);
  for (int i = 1; i <= NotationSettings::kFieldCount; ++i)
    s.notation.field(i) = ini.readInteger("hyoki", kHyokiKeys[i - 1], kDefaultNotation.field(i));
  for (std::size_t i = 0; i < kPmojKeys.size(); ++i) s.pmoj[i] = ini.readText("pmoj", kPmojKeys[i], kPmojDefaults[i]);
  s.hotkeyPaste = ini.value("hotkey", "paste");
}

void inikaki(Program& program) {
  const std::string path = pathOf(program);
  // Rewriting a file we could not read, now or at start, would throw away what it holds.
  if (const auto& why = program.state.settingsNotRead)
    cannotWrite(path, why->empty() ? "it could not be read at start" : "it could not be read at start: " + *why);
  FileStore::Contents file = program.settingsFiles->read(path);
  if (file.status == FileStore::Contents::Status::Unreadable) cannotWrite(path, file.reason);
  const FileText original = decodeFileText(std::move(file.bytes));
  Profile ini(original.text, program.settingsFiles->newline());
  const TForm1& form = *program.Form1;
  ini.writeInteger("form", "left", form.left());
  ini.writeInteger("form", "top", form.top());
  const ProgramState& s = program.state;
  for (const FlagKey& flag : kFlagKeys) ini.writeInteger("patan", flag.key, s.*flag.value);
  for (int i = 1; i <= NotationSettings::kFieldCount; ++i)
    ini.writeInteger("hyoki", kHyokiKeys[i - 1], s.notation.field(i));
  for (std::size_t i = 0; i < kPmojKeys.size(); ++i) ini.writeText("pmoj", kPmojKeys[i], s.pmoj[i]);
  const std::string bytes = encodeFileText(original, ini.text());
  // A file the next start would refuse to read is as good as lost.
  if (bytes.size() > FileStore::kMaxFileBytes)
    cannotWrite(path, "the saved file would be larger than " + std::to_string(FileStore::kMaxFileBytes) + " bytes");
  if (!program.settingsFiles->replace(path, bytes)) cannotWrite(path, program.settingsFiles->failureReason());
}

}  // namespace kelvado
