#include "kelvado_.h"

#include "setei.h"
#include "settings/settings_file.h"
#include "shortcut.h"
#include "vajhel.h"

namespace kelvado {

using namespace colors;

namespace {
constexpr int kFlashIntervalMs = 100;

TColor weekdayLabelColor(std::int32_t yobichek) { return yobichek == 1 ? clBlack : clGray; }
}  // namespace

TForm1::TForm1(Program& program)
    : Form(program.app, form1::kDefinition),
      DateTimePicker1(control(form1::DateTimePicker1)),
      Edit1(control(form1::Edit1)),
      lblYoubi(control(form1::lblYoubi)),
      Panel1(control(form1::Panel1)),
      CheckBox2(control(form1::CheckBox2)),
      Timer1(timer(form1::Timer1)),
      Timer2(timer(form1::Timer2)),
      Edit2(control(form1::Edit2)),
      BitBtn1(control(form1::BitBtn1)),
      program_(program),
      state_(program.state) {
  onCreate = [this] { FormCreate(); };
  onShow = [this] { FormShow(); };
  onCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
  DateTimePicker1.onChange = [this] { DateTimePicker1Change(); };
  lblYoubi.onClick = [this] { lblYoubiClick(); };
  Panel1.onMouseDown = [this](MouseButton b, ShiftState s, int x, int y) { Panel1MouseDown(b, s, x, y); };
  CheckBox2.onClick = [this] { CheckBox2Click(); };
  BitBtn1.onClick = [this] { BitBtn1Click(); };
  Timer1.onTimer = [this] { Timer1Timer(); };
  Timer2.onTimer = [this] { Timer2Timer(); };
}

void TForm1::FormCreate() {
  iniyomi(program_);
  setStayOnTop(state_.staytop == 1);
  lblYoubi.setFontColor(weekdayLabelColor(state_.yobichek));
  CheckBox2.setChecked(state_.staytop == 1);
  state_.FlashCount = 0;
  Timer1.setInterval(0);
}

void TForm1::FormShow() {
  state_.Form1Handle = handle();
  DateTimePicker1.setDate(program_.platform.localNow());
  youbihyouji();
}

void TForm1::youbihyouji() {
  const LocalDateTime& d = DateTimePicker1.date();
  lblYoubi.setText(youbikeisan(d.year, d.month, d.day));
  Edit1.setText(nengappi2moj(d.year, d.month, d.day, state_.notation));
  state_.YoubiText = youbikeisan(d.year, d.month, d.day);
  setCaption(state_.yobichek == 1 ? Edit1.text() + state_.YoubiText : Edit1.text());
  application().setTitle(caption());
}

void TForm1::DateTimePicker1Change() { youbihyouji(); }

void TForm1::lblYoubiClick() {
  state_.yobichek = ~state_.yobichek;
  lblYoubi.setFontColor(weekdayLabelColor(state_.yobichek));
  youbihyouji();
}

void TForm1::CheckBox2Click() { state_.staytop = CheckBox2.checked() ? 1 : 0; }

void TForm1::BitBtn1Click() { program_.Form2->show(); }

void TForm1::FormCloseQuery(bool& /*CanClose*/) { inikaki(program_); }

void TForm1::Timer2Timer() {
  const WindowId h = program_.platform.foregroundWindow();
  // A message box of ours, or any other window of this program, must not become the target
  // either: the paste would go to a window that is gone by then.
  if (h != state_.Form1Handle && h != state_.Form2Handle && h != state_.Form3Handle &&
      !program_.platform.isOwnWindow(h))
    state_.TargetWindow = h;
}

void TForm1::startFlash() {
  Timer1.setInterval(kFlashIntervalMs);
  state_.FlashCount = 0;
  Panel1.setColor(clYellow);
}

// The date text, as the title shows it, onto the clipboard through Edit2.
void TForm1::copyDate() {
  Edit2.setText(state_.yobichek == 1 ? Edit1.text() + state_.YoubiText : Edit1.text());
  program_.platform.setClipboardText(Edit2.text());
}

void TForm1::Panel1MouseDown(MouseButton Button, ShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  if (Button == MouseButton::Middle) return;
  startFlash();
  if (Button == MouseButton::Left) {
    copyDate();
    program_.platform.bringToFront(state_.TargetWindow);
    program_.platform.sendCtrlV();
    if (!missingRouteTold_) {
      const std::string missing = program_.platform.missingPasteRoute();
      missingRouteTold_ = !missing.empty();
      if (missingRouteTold_) application().showInformation(missing);
    }
  } else {
    program_.Form3->show();
  }
}

void TForm1::registerShortcut() {
  if (!state_.hotkeyPaste) return;
  std::string problem;
  const std::optional<Shortcut> shortcut = parseShortcut(*state_.hotkeyPaste, problem);
  if (!shortcut) {
    application().showInformation(settingsPath(program_.platform.executablePath()) +
                                  " の [hotkey] paste=" + *state_.hotkeyPaste + " は使えません（" + problem +
                                  "）。ショートカットなしで動きます。");
    return;
  }
  // Pressed from outside any window of ours: behind the error barrier like any event.
  switch (program_.platform.registerShortcut(*shortcut, [this] { application().guard([this] { shortcutPaste(); }); })) {
    case Platform::ShortcutStatus::Registered: break;
    case Platform::ShortcutStatus::Taken:
      application().showInformation("ショートカット " + shortcut->text() +
                                    " はほかのプログラムが使っています。ショートカットなしで動きます。");
      break;
    case Platform::ShortcutStatus::Unsupported: {
      // Where pastes lack a route, the shortcut lacks the same one: what to do about it is said
      // here, once, rather than a "cannot" now and the remedy after the first click.
      const std::string missing = program_.platform.missingPasteRoute();
      missingRouteTold_ = !missing.empty();
      application().showInformation(
          missingRouteTold_ ? missing + "今はショートカットなしで動きます。"
                            : "このデスクトップではショートカットを使えません。ショートカットなしで動きます。");
      break;
    }
  }
}

void TForm1::shortcutPaste() {
  startFlash();
  copyDate();
  // Into the window that has the focus now; one of ours only gets the clipboard.
  const WindowId focus = program_.platform.foregroundWindow();
  if (focus == state_.Form1Handle || focus == state_.Form2Handle || focus == state_.Form3Handle ||
      program_.platform.isOwnWindow(focus))
    return;
  program_.platform.waitForModifiersUp();
  program_.platform.sendCtrlV();
}

void TForm1::Timer1Timer() {
  state_.FlashCount += 1;
  if (state_.FlashCount > 1) {
    Panel1.setColor(clBtnFace);
    Timer1.setInterval(0);
  }
}

}  // namespace kelvado
