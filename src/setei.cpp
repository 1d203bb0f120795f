#include "setei.h"

#include <array>
#include <span>

#include "kelvado_.h"
#include "vajhel.h"

namespace kelvado {

namespace {

using ListHandler = void (TForm3::*)();
using ButtonHandler = void (TForm3::*)(MouseButton, ShiftState, int, int);

constexpr ListHandler kListHandlers[] = {&TForm3::ComboBox1Change, &TForm3::ComboBox2Change, &TForm3::ComboBox3Change,
                                         &TForm3::ComboBox4Change, &TForm3::ComboBox5Change, &TForm3::ComboBox6Change};
constexpr ButtonHandler kButtonHandlers[] = {&TForm3::bt1MouseDown, &TForm3::bt2MouseDown, &TForm3::bt3MouseDown,
                                             &TForm3::bt4MouseDown, &TForm3::bt5MouseDown};
static_assert(std::size(kListHandlers) == std::size(form3::kLists) &&
              std::size(kButtonHandlers) == std::size(form3::kPatternButtons));

// What each choice writes for 7 April 2003, the date the dialog's heading names.
constexpr const char* kYearSamples[] = {"", "03", "2003", "平成15", "H15"};
constexpr const char* kAfterYearSamples[] = {"", "年", "/", "-", "."};
constexpr const char* kMonthSamples[] = {"4", "04"};
constexpr const char* kAfterMonthSamples[] = {"月", "/", "-", "."};
constexpr const char* kDaySamples[] = {"7", "07"};
constexpr const char* kAfterDaySamples[] = {"", "日"};
constexpr std::array<std::span<const char* const>, 6> kSamples = {
    kYearSamples, kAfterYearSamples, kMonthSamples, kAfterMonthSamples, kDaySamples, kAfterDaySamples};

// The character of a UTF-8 text that starts at pos, moving pos past it; empty at the end. A
// broken sequence is taken a byte at a time.
std::string nextCharacter(const std::string& text, std::size_t& pos) {
  if (pos >= text.size()) return {};
  const auto lead = static_cast<unsigned char>(text[pos]);
  const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  std::size_t n = 1;
  while (n < length && pos + n < text.size() && (static_cast<unsigned char>(text[pos + n]) & 0xC0) == 0x80) ++n;
  if (n != length) n = 1;
  std::string character = text.substr(pos, n);
  pos += n;
  return character;
}

}  // namespace

TForm3::TForm3(Program& program)
    : Form(program.app, form3::kDefinition),
      Panel1(control(form3::Panel1)),
      ComboBox1(control(form3::ComboBox1)),
      ComboBox2(control(form3::ComboBox2)),
      ComboBox3(control(form3::ComboBox3)),
      ComboBox4(control(form3::ComboBox4)),
      ComboBox5(control(form3::ComboBox5)),
      ComboBox6(control(form3::ComboBox6)),
      Label1(control(form3::Label1)),
      Label2(control(form3::Label2)),
      Label3(control(form3::Label3)),
      Label4(control(form3::Label4)),
      Label5(control(form3::Label5)),
      Label6(control(form3::Label6)),
      lab1(control(form3::lab1)),
      lab2(control(form3::lab2)),
      lab3(control(form3::lab3)),
      lab4(control(form3::lab4)),
      lab5(control(form3::lab5)),
      lab6(control(form3::lab6)),
      Label13(control(form3::Label13)),
      Button1(control(form3::Button1)),
      Memo1(control(form3::Memo1)),
      bt1(control(form3::bt1)),
      bt2(control(form3::bt2)),
      bt3(control(form3::bt3)),
      bt4(control(form3::bt4)),
      bt5(control(form3::bt5)),
      Label7(control(form3::Label7)),
      program_(program),
      state_(program.state) {
  onShow = [this] { FormShow(); };
  for (std::size_t i = 0; i < std::size(form3::kLists); ++i)
    control(form3::kLists[i]).onChange = [this, handler = kListHandlers[i]] { (this->*handler)(); };
  for (std::size_t i = 0; i < std::size(form3::kPatternButtons); ++i)
    control(form3::kPatternButtons[i]).onMouseDown = [this, handler = kButtonHandlers[i]](MouseButton b, ShiftState s,
                                                                                          int x, int y) {
      (this->*handler)(b, s, x, y);
    };
  // The pattern buttons get no click action: they work on the press alone, so the keyboard
  // cannot trigger them.
  Button1.onClick = [this] { Button1Click(); };
}

void TForm3::FormShow() {
  state_.Form3Handle = handle();
  hyoki2comlab();
}

void TForm3::ComboBox1Change() { listChange(1); }
void TForm3::ComboBox2Change() { listChange(2); }
void TForm3::ComboBox3Change() { listChange(3); }
void TForm3::ComboBox4Change() { listChange(4); }
void TForm3::ComboBox5Change() { listChange(5); }
void TForm3::ComboBox6Change() { listChange(6); }

void TForm3::lab1hyoji() { previewShow(1); }
void TForm3::lab2hyoji() { previewShow(2); }
void TForm3::lab3hyoji() { previewShow(3); }
void TForm3::lab4hyoji() { previewShow(4); }
void TForm3::lab5hyoji() { previewShow(5); }
void TForm3::lab6hyoji() { previewShow(6); }

void TForm3::Button1Click() { program_.Form2->show(); }

void TForm3::hyoki2comlab() {
  for (int n = 1; n <= NotationSettings::kFieldCount; ++n)
    control(form3::kLists[n - 1]).setItemIndex(state_.notation.field(n));
  for (int n = 1; n <= NotationSettings::kFieldCount; ++n) previewShow(n);
  program_.Form1->youbihyouji();
}

void TForm3::moj2hyoki(const std::string& code) {
  std::size_t pos = 0;
  for (int i = 1; i <= NotationSettings::kFieldCount; ++i) {
    const std::string character = nextCharacter(code, pos);
    if (character.size() != 1 || character[0] < '0' || character[0] > '9')
      throw Error("'" + character + "' は整数ではありません");
    // Assigned at once: a failure further on keeps what has been taken so far.
    state_.notation.field(i) = character[0] - '0';
  }
  hyoki2comlab();
}

void TForm3::hyoki2moj(int N) {
  std::string code;
  for (int i = 1; i <= NotationSettings::kFieldCount; ++i) code += std::to_string(state_.notation.field(i));
  state_.pmoj.at(static_cast<std::size_t>(N - 1)) = code;
  application().showInformation("パターン" + std::to_string(N) + "にこのパターンを記憶しました");
}

void TForm3::bt1MouseDown(MouseButton Button, ShiftState, int, int) { patternButtonDown(1, Button); }
void TForm3::bt2MouseDown(MouseButton Button, ShiftState, int, int) { patternButtonDown(2, Button); }
void TForm3::bt3MouseDown(MouseButton Button, ShiftState, int, int) { patternButtonDown(3, Button); }
void TForm3::bt4MouseDown(MouseButton Button, ShiftState, int, int) { patternButtonDown(4, Button); }
void TForm3::bt5MouseDown(MouseButton Button, ShiftState, int, int) { patternButtonDown(5, Button); }

void TForm3::listChange(int n) {
  previewShow(n);
  state_.notation.field(n) = control(form3::kLists[n - 1]).itemIndex();
  program_.Form1->youbihyouji();
}

void TForm3::previewShow(int n) {
  const int index = control(form3::kLists[n - 1]).itemIndex();
  const std::span<const char* const> samples = kSamples[static_cast<std::size_t>(n - 1)];
  // No selection, or a list longer than its samples: the preview keeps what it showed.
  if (index < 0 || static_cast<std::size_t>(index) >= samples.size()) return;
  control(form3::kPreviews[n - 1]).setText(samples[static_cast<std::size_t>(index)]);
}

void TForm3::patternButtonDown(int n, MouseButton button) {
  switch (button) {
    case MouseButton::Left: moj2hyoki(state_.pmoj.at(static_cast<std::size_t>(n - 1))); break;
    case MouseButton::Right: hyoki2moj(n); break;
    case MouseButton::Middle: break;
  }
}

}  // namespace kelvado
