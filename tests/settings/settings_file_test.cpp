#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "rig.h"
#include "settings/file_text.h"
#include "settings/profile.h"

namespace kelvado::testing {
namespace {

using namespace std::string_literals;

const std::string kIni = "/opt/kelvado/kelvado.ini";

const std::string kFirstFile =
    "[form]\nleft=0\ntop=0\n"
    "[patan]\npatan=1\nyobichek=1\nstaytop=1\n"
    "[hyoki]\nhyoki1=2\nhyoki2=1\nhyoki3=1\nhyoki4=0\nhyoki5=1\nhyoki6=1\n"
    "[pmoj]\npmoj1=141310\npmoj2=231210\npmoj3=000100\npmoj4=000001\npmoj5=240300\n";

TEST(SettingsPath, ReplacesTheExecutablesExtension) {
  const struct {
    const char* exe;
    const char* ini;
  } cases[] = {
      {"/opt/kelvado/kelvado", "/opt/kelvado/kelvado.ini"},
      {"/opt/kelvado/kelvado.exe", "/opt/kelvado/kelvado.ini"},
      {"/opt/kelvado/kelvado.表", "/opt/kelvado/kelvado.ini"},
      {"/opt/表.d/kelvado", "/opt/表.d/kelvado.ini"},
      {"/opt/a.b.c", "/opt/a.b.ini"},
      {"kelvado", "kelvado.ini"},
      {"C:\\Tools\\kelvado.exe", "C:\\Tools\\kelvado.ini"},
      {"C:\\Tools.v2\\kelvado", "C:\\Tools.v2\\kelvado.ini"},
      {"C:kelvado", "C:kelvado.ini"},
      {"\\\\server\\share.d\\kelvado.表", "\\\\server\\share.d\\kelvado.ini"},
      {"C:\\ユーザー\\デスクトップ\\ケルバド\\kelvado.exe", "C:\\ユーザー\\デスクトップ\\ケルバド\\kelvado.ini"},
      {"C:\\ソフト.d\\表", "C:\\ソフト.d\\表.ini"},
  };
  for (const auto& c : cases) EXPECT_EQ(settingsPath(c.exe), c.ini);
}

TEST(Settings, FirstStartUsesDefaultsAndTheFirstCloseWritesTheWholeFile) {
  Rig rig;
  rig.start();
  EXPECT_EQ(rig.files.writes, 0);
  EXPECT_TRUE(rig.files.files.empty());
  EXPECT_EQ(rig.form1().left(), 0);
  EXPECT_EQ(rig.form1().top(), 0);
  EXPECT_EQ(rig.state.pmoj[4], "240300");
  rig.form1().userClose();
  EXPECT_TRUE(rig.program.app.terminated());
  EXPECT_EQ(rig.files.files.at(kIni), kFirstFile);
}

TEST(Settings, ANewFileTakesTheSystemsLineEndingAndAnOldOneKeepsItsOwn) {
  std::string crlfFirstFile;
  for (const char c : kFirstFile) crlfFirstFile += c == '\n' ? "\r\n" : std::string(1, c);
  const struct {
    std::string before, after;
  } cases[] = {
      {"", crlfFirstFile},
      {"[form]\nleft=10\n", "[form]\nleft=10\ntop=0\n" + kFirstFile.substr(20)},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.files.lineEnding = "\r\n";
    if (!c.before.empty()) rig.files.files[kIni] = c.before;
    rig.start();
    rig.form1().userClose();
    EXPECT_EQ(rig.files.files.at(kIni), c.after);
  }
}

TEST(Settings, ChangesMadeDuringTheRunAreSavedOnClose) {
  Rig rig;
  rig.start();
  rig.form1().lblYoubi.userClick();
  rig.form1().CheckBox2.userSetChecked(false);
  rig.form1().setLeft(300);
  rig.state.notation.hyoki4 = 3;
  rig.state.pmoj[1] = "000000";
  rig.form1().userClose();
  const Profile saved(rig.files.files.at(kIni));
  EXPECT_EQ(saved.value("form", "left"), "300");
  EXPECT_EQ(saved.value("patan", "yobichek"), "-2");
  EXPECT_EQ(saved.value("patan", "staytop"), "0");
  EXPECT_EQ(saved.value("hyoki", "hyoki4"), "3");
  EXPECT_EQ(saved.value("pmoj", "pmoj2"), "000000");
}

// Hand-edited files: what a start gives and what the next close leaves in the file.
TEST(Settings, HandEditedFilesLoadAndSaveBack) {
  const std::string huge(5000, '9');
  const struct {
    const char* what;
    std::string file;
    std::function<void(Rig&)> check;
    std::string saved;  // empty: the file stays byte for byte
  } cases[] = {
      {"hex positions", "[form]\nleft=0x64\ntop=$64\n",
       [](Rig& r) {
         EXPECT_EQ(r.program.Form1->left(), 100);
         EXPECT_EQ(r.program.Form1->top(), 100);
       },
       "[form]\nleft=100\ntop=100\n" + kFirstFile.substr(20)},
      {"malformed positions", "[form]\nleft=100px\ntop=-0x64\n",
       [](Rig& r) {
         EXPECT_EQ(r.program.Form1->left(), 0);
         EXPECT_EQ(r.program.Form1->top(), 0);
       },
       "[form]\nleft=0\ntop=0\n"},
      {"off the monitors", "[form]\nleft=900\ntop=300\n",
       [](Rig& r) {
         EXPECT_EQ(r.program.Form1->left(), 50);
         EXPECT_EQ(r.program.Form1->top(), 300);
       },
       "[form]\nleft=50\ntop=300\n"},
      {"positions at the ends of the 32-bit range", "[form]\nleft=2147483400\ntop=-2147483648\n",
       [](Rig& r) {
         EXPECT_EQ(r.program.Form1->left(), 50);
         EXPECT_EQ(r.program.Form1->top(), 50);
       },
       "[form]\nleft=50\ntop=50\n"},
      {"left of every monitor", "[form]\nleft=-1600\ntop=300\n",
       [](Rig& r) {
         EXPECT_EQ(r.program.Form1->left(), 50);
         EXPECT_EQ(r.program.Form1->top(), 300);
       },
       "[form]\nleft=50\ntop=300\n"},
      {"empty left", "[form]\nleft=\ntop=200\n", [](Rig& r) { EXPECT_EQ(r.program.Form1->left(), 0); },
       "[form]\nleft=0\ntop=200\n"},
      {"staytop 5", "[patan]\nstaytop=5\n",
       [](Rig& r) {
         EXPECT_EQ(r.state.staytop, 5);
         EXPECT_FALSE(r.program.Form1->stayOnTop());
         EXPECT_FALSE(r.program.Form1->CheckBox2.checked());
       },
       ""},
      {"yobichek -2", "[patan]\nyobichek=-2\n", [](Rig& r) { EXPECT_EQ(r.program.Form1->caption(), "2003年04月07日"); },
       ""},
      {"patan 7 and hyoki1 9", "[patan]\npatan=7\n[hyoki]\nhyoki1=9\n",
       [](Rig& r) {
         EXPECT_EQ(r.state.patan, 7);
         EXPECT_EQ(r.state.notation.hyoki1, 9);
       },
       "[patan]\npatan=7\nyobichek=1\nstaytop=1\n[hyoki]\nhyoki1=9\n"},
      {"empty pmoj1", "[pmoj]\npmoj1=\n", [](Rig& r) { EXPECT_EQ(r.state.pmoj[0], ""); }, ""},
      {"comments, unknown keys, spacing, CRLF",
       "; kept\r\n[Form]\r\n Left = 10 \r\nmine=1\r\n\r\n[extra]\r\nx=\"y\"\r\n", [](Rig&) {},
       "; kept\r\n[Form]\r\n Left = 10 \r\nmine=1\r\ntop=0\r\n\r\n[extra]\r\nx=\"y\"\r\n"},
      {"duplicates", "[form]\nleft=10\nleft=20\n", [](Rig& r) { EXPECT_EQ(r.program.Form1->left(), 10); },
       "[form]\nleft=10\nleft=20\ntop=0\n"},
      {"lone CR line endings", "[form]\rleft=100\rtop=200\r",
       [](Rig& r) {
         EXPECT_EQ(r.program.Form1->left(), 100);
         EXPECT_EQ(r.program.Form1->top(), 200);
       },
       "[form]\rleft=100\rtop=200\r[patan]\rpatan=1\r"},
      {"no final line ending", "[pmoj]\npmoj1=令和", [](Rig& r) { EXPECT_EQ(r.state.pmoj[0], "令和"); }, ""},
      {"Shift-JIS comment, key and value (its second byte is \\)",
       "; \x93\xfa\x95\x74\r\n[pmoj]\r\n\x95\x5c=1\r\npmoj1=\x95\x5c\r\n",
       [](Rig& r) { EXPECT_EQ(r.state.pmoj[0], "\x95\x5c"); }, ""},
      {"mixed line endings", "[form]\r\nleft=10\nx=1\r\n[pmoj]\npmoj1=1\r\n",
       [](Rig& r) {
         EXPECT_EQ(r.program.Form1->left(), 10);
         EXPECT_EQ(r.state.pmoj[0], "1");
       },
       "[form]\r\nleft=10\nx=1\r\ntop=0\r\n[pmoj]\npmoj1=1\r\n"},
      {"byte-order mark", "\xEF\xBB\xBF[form]\r\nleft=10\r\n", [](Rig& r) { EXPECT_EQ(r.program.Form1->left(), 10); },
       "\xEF\xBB\xBF[form]\r\nleft=10\r\ntop=0\r\n[patan]\r\n"},
      {"a value past the read limit", "[pmoj]\npmoj1=" + huge + "\n",
       [](Rig& r) { EXPECT_EQ(r.state.pmoj[0].size(), Profile::kMaxValueBytes); }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    rig.files.files[kIni] = c.file;
    rig.start();
    c.check(rig);
    rig.form1().userClose();
    ASSERT_TRUE(rig.program.app.terminated());
    // Whatever the file lacked is added; what it held stays unless its value changed.
    const Profile saved(rig.files.files.at(kIni));
    if (c.saved.empty()) {
      EXPECT_EQ(rig.files.files.at(kIni).substr(0, c.file.size()), c.file);
    } else {
      EXPECT_EQ(rig.files.files.at(kIni).substr(0, c.saved.size()), c.saved);
    }
    EXPECT_TRUE(saved.value("pmoj", "pmoj5").has_value());
  }
}

// Notepad's "Unicode": the values are read, and the close writes the file back in UTF-16 of its
// own byte order and line ends, with what the user wrote kept, as a UTF-8 file would be.
TEST(Settings, AUtf16FileIsReadAndWrittenBackInItsOwnEncoding) {
  const std::u16string handEdited = u"; 自分用\r\n[form]\r\nleft=100\r\n[pmoj]\r\npmoj1=令和\r\n";
  const auto bytes = [](std::u16string text, bool bigEndian) {
    std::string out;
    for (const char16_t unit : u"\uFEFF" + text) {
      const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
      out += bigEndian ? high : low;
      out += bigEndian ? low : high;
    }
    return out;
  };
  Rig utf8;
  utf8.files.files[kIni] = "; 自分用\r\n[form]\r\nleft=100\r\n[pmoj]\r\npmoj1=令和\r\n";
  utf8.start();
  utf8.form1().userClose();
  for (const bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    Rig rig;
    const std::string file = bytes(handEdited, bigEndian);
    rig.files.files[kIni] = file;
    rig.start();
    EXPECT_EQ(rig.form1().left(), 100);
    EXPECT_EQ(rig.state.pmoj[0], "令和");
    rig.form1().userClose();
    const std::string saved = rig.files.files.at(kIni);
    // Up to the first key it adds, the file is what the user saved, byte for byte.
    const std::size_t kept = bytes(u"; 自分用\r\n[form]\r\nleft=100\r\n", bigEndian).size();
    EXPECT_EQ(saved.substr(0, kept), file.substr(0, kept));
    const FileText read = decodeFileText(saved);
    EXPECT_EQ(read.encoding, bigEndian ? FileText::Encoding::Utf16BigEndian : FileText::Encoding::Utf16LittleEndian);
    EXPECT_EQ(read.text, utf8.files.files.at(kIni));
  }
}

// UTF-16 comes back whole, whatever it holds: pairs, lone surrogates, an odd last byte.
TEST(Settings, Utf16TextComesBackByteForByte) {
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"\xFF\xFE\x61\0\xE4\x65\x3D\xD8\x89\xDE"s, "\x61\xE6\x97\xA4\xF0\x9F\x9A\x89"},
      {"\xFE\xFF\0\x61\x65\xE4\xD8\x3D\xDE\x89"s, "\x61\xE6\x97\xA4\xF0\x9F\x9A\x89"},
      {"\xFF\xFE\x3D\xD8\x61\0\x89\xDE"s, "\xED\xA0\xBD\x61\xED\xBA\x89"},
      {"\xFF\xFE\x61\0\0\0\x62"s, "\x61\0"s},
      {"\xFF\xFE", ""},
      {"[form]\r\nleft=1\r\n", "[form]\r\nleft=1\r\n"},
  };
  for (const auto& c : cases) {
    const FileText read = decodeFileText(c.bytes);
    EXPECT_EQ(read.text, c.text);
    EXPECT_EQ(encodeFileText(read, read.text), c.bytes);
  }
}

// A file that is there but could not be read at start (another program held it) holds settings
// this run never saw: no close writes over it, even once it can be read again.
TEST(Settings, AFileThatCouldNotBeReadAtStartIsNeverSavedOver) {
  Rig rig;
  rig.files.files[kIni] = "[pmoj]\npmoj1=mine\n";
  rig.files.unreadable = {kIni};
  rig.start();
  EXPECT_EQ(rig.state.pmoj[0], "141310");
  rig.files.unreadable.clear();
  rig.form1().userClose();
  EXPECT_FALSE(rig.program.app.terminated());
  ASSERT_EQ(rig.backend.messageBoxes.size(), 1u);
  EXPECT_EQ(rig.backend.messageBoxes[0].text, kIni + " に書き込めません.");
  rig.program.app.closeForSession();
  EXPECT_EQ(rig.backend.reports,
            std::vector<std::string>{kIni + " に書き込めません: it could not be read at start: held by the test"});
  EXPECT_EQ(rig.program.app.exitStatus(), 1);
  EXPECT_EQ(rig.files.writes, 0);
  EXPECT_EQ(rig.files.files.at(kIni), "[pmoj]\npmoj1=mine\n");
}

// No save makes a file that the next start would refuse as too large.
TEST(Settings, ASaveThatWouldPassTheSizeLimitLeavesTheFileAsItWas) {
  std::string nearlyFull = "[pmoj]\n; " + std::string(FileStore::kMaxFileBytes - 20, 'x') + "\n";
  Rig rig;
  rig.files.files[kIni] = nearlyFull;
  rig.start();
  rig.form1().userClose();
  EXPECT_FALSE(rig.program.app.terminated());
  EXPECT_EQ(rig.files.writes, 0);
  EXPECT_TRUE(rig.files.files.at(kIni) == nearlyFull);  // not printed: a megabyte
}

// The first failed save keeps the window open, and a save that then succeeds closes it; a
// second close while the file is still unwritable shows the error again and closes, so an
// unwritable folder never holds the user in the program.
TEST(Settings, AFailedSaveKeepsTheWindowOpenOnceThenLetsTheUserLeave) {
  for (const bool fixedInBetween : {true, false}) {
    SCOPED_TRACE(fixedInBetween ? "made writable" : "still unwritable");
    Rig rig;
    rig.files.files[kIni] = "[form]\nleft=10\n";
    rig.start();
    rig.files.failWrites = true;
    rig.form1().userClose();
    EXPECT_FALSE(rig.program.app.terminated());
    EXPECT_TRUE(rig.form1().visible());
    ASSERT_EQ(rig.backend.messageBoxes.size(), 1u);
    const auto& box = rig.backend.messageBoxes.back();
    EXPECT_EQ(box.kind, MessageKind::Error);
    EXPECT_EQ(box.caption, "2003年04月07日(月)");
    EXPECT_EQ(box.text, kIni + " に書き込めません.");
    EXPECT_EQ(rig.files.files.at(kIni), "[form]\nleft=10\n");

    rig.files.failWrites = !fixedInBetween;
    rig.form1().userClose();
    EXPECT_TRUE(rig.program.app.terminated());
    EXPECT_EQ(rig.files.writes, 2);
    EXPECT_EQ(rig.backend.messageBoxes.size(), fixedInBetween ? 1u : 2u);
    EXPECT_EQ(rig.backend.messageBoxes.back().text, kIni + " に書き込めません.");
    EXPECT_EQ(Profile(rig.files.files.at(kIni)).value("pmoj", "pmoj1").has_value(), fixedInBetween);
  }
}

// A close the session asks for cannot be refused: it saves when it can, reports when it cannot,
// and ends the program either way, with the status telling which.
TEST(Settings, ASessionCloseEndsTheProgramWhetherOrNotTheSaveSucceeds) {
  for (const bool writable : {true, false}) {
    SCOPED_TRACE(writable ? "writable" : "unwritable");
    Rig rig;
    rig.files.files[kIni] = "[form]\nleft=10\n";
    rig.start();
    rig.files.failWrites = !writable;
    rig.program.app.closeForSession();
    EXPECT_TRUE(rig.program.app.terminated());
    EXPECT_FALSE(rig.form1().visible());
    EXPECT_FALSE(rig.backend.loopRunning);
    EXPECT_TRUE(rig.backend.messageBoxes.empty());
    EXPECT_EQ(rig.program.app.exitStatus(), writable ? 0 : 1);
    EXPECT_EQ(rig.backend.reports, writable
                                       ? std::vector<std::string>{}
                                       : std::vector<std::string>{kIni + " に書き込めません: refused by the test"});
    EXPECT_EQ(rig.files.files.at(kIni).starts_with("[form]\nleft=10\ntop=0\n"), writable);
    // Further requests, as a second signal would make, find the program ended.
    rig.program.app.closeForSession();
    EXPECT_EQ(rig.files.writes, 1);
  }
}

}  // namespace
}  // namespace kelvado::testing
