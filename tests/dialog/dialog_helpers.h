// Reading the notation dialog the way a user sees it.
#pragma once

#include <string>
#include <vector>

#include "rig.h"

namespace kelvado::testing {

inline constexpr const char* kNoSelection = "(none)";

// The item each list shows, in field order.
inline std::vector<std::string> listTexts(TForm3& f) {
  std::vector<std::string> texts;
  for (form3::ControlId id : form3::kLists) {
    const Control& list = f.control(id);
    const int i = list.itemIndex();
    texts.push_back(i < 0 ? kNoSelection : list.def().items[static_cast<std::size_t>(i)]);
  }
  return texts;
}

inline std::vector<std::string> previewTexts(TForm3& f) {
  std::vector<std::string> texts;
  for (form3::ControlId id : form3::kPreviews) texts.push_back(f.control(id).text());
  return texts;
}

inline void openDialog(Rig& rig) { rig.rightClick(rig.form1().Panel1); }

// A started program with the dialog opened the way the user opens it.
struct RigWithDialogOpen : Rig {
  RigWithDialogOpen() {
    start();
    openDialog(*this);
  }
};

}  // namespace kelvado::testing
