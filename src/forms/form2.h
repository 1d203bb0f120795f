// The version and help window: one read-only memo with the version, the maker, how to use the
// program and its history.
#pragma once

#include <iterator>

#include "framework/definition.h"
#include "version.h"

namespace kelvado::form2 {

enum ControlId : int { Memo1 };

using namespace colors;

inline constexpr ControlDef kControls[] = {
    // Read-only rather than disabled, so that the text can still be selected and copied.
    {.kind = ControlKind::Memo, .name = "Memo1", .left = 0, .top = 0, .width = 466, .height = 561,
     .text = "ケルバド V" KELVADO_VERSION "\n"
             "\n"
             "作者：こもれび小工房\n"
             "E-Mail：komorebi-kobo@example.jp\n"
             "ホームページ：http://www.example.jp/komorebi/\n"
             "\n"
             "任意の年月日(曜日)を他の編集中のエディタ等へ貼り付ける\n"
             "ソフトです。\n"
             "\n"
             "[貼付け]ボタンをクリックするとタイトルに表示されてる日付けを\n"
             "他の編集中のエディタ(ワードやエクセル等)のカーソル位置に\n"
             "ダイレクトに貼付けできます。\n"
             "また、[貼付け]ボタンを右クリックして表示されるダイアログ\n"
             "ボックスで表示形式を選ぶことができます。\n"
             "表示形式のパターンを5種類まで記憶できますので表示形式の\n"
             "切り替えに便利です。\n"
             "\n"
             "表示されている年月日の下三角をクリックして表示される\n"
             "カレンダーからコピーしたい日付けを選ぶことができます。\n"
             "\n"
             "(曜日)表示部分のクリックで曜日表示のON/OFFができます。\n"
             "\n"
             "右端のチェックボックスでフォームを常に前面表示のON/OFFが\n"
             "できます(次回起動時から有効)。\n"
             "\n"
             "なお、前回終了した時のフォームの場所やその他の諸設定を\n"
             "kelvado.exeのあるファルダにkelvado.iniとして記憶します。\n"
             "\n"
             "変更履歴\n"
             "2002/02/10 試作品を作成。\n"
             "2002/02/22 V1.1 プログラムを作り直し、起動時に今日の日付けを\n"
             "表示するように拡張し、前回終了した時のフォームの場所を\n"
             "記憶するように拡張。\n"
             "2002/03/22 V1.2 月日(曜日)のみコピーできる機能追加。\n"
             "2003/06/01 V2.0 表示形式の選択などの機能を拡張し、\n"
             "プログラムを作り直す。\n"
             "2003/06/01 V2.1 表示形式を選べるバリエーションを増やす。\n"
             "2003/06/02 V3.0 曜日がだぶってコピーされてたバグを訂正し、\n"
             "表示形式のパターンを5種類まで記憶できるように拡張し、\n"
             "他の編集中のエディタ等へワンクリックでダイレクトに貼付け\n"
             "できるように仕様拡張変更。\n"
             "202/-8/24 V3.1 niフォームの位置をモニタ内に表示するようにした",
     .tabOrder = 0, .tabStop = false, .readOnly = true, .align = Align::Client, .scrollBars = ScrollBars::Both,
     .wordWrap = true, .color = clWindow},
};

static_assert(std::size(kControls) == 1 && kControls[Memo1].name == "Memo1");

inline constexpr FormDef kDefinition{
    .name = "Form2",
    .caption = "ケルバド バージョン＆ヘルプ",
    .left = 469,
    .top = 259,
    .clientWidth = 466,
    .clientHeight = 561,
    .outerWidth = 474,
    .outerHeight = 595,
    .controls = kControls,
};

}  // namespace kelvado::form2
