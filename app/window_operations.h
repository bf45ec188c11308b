#pragma once

#include <cstdint>

#include "base/text.h"

namespace velbrook {

// The controls of the main window, by their form names.
enum class Control { 标签1, 编辑框1, 按钮1, 列表框1, 标签2, 按钮2, 按钮3, 标签3 };

// What the commands do with the main window. Texts are GB18030 on this side; the window converts
// them at its boundary. The commands run on the user-interface thread, and nothing here handles
// input.
class WindowOperations {
 public:
  virtual ~WindowOperations() = default;

  // The current content of 编辑框1.
  virtual Text EditText() const = 0;

  // The caption of a label or button (the content of the edit box). The list box has none: reading
  // gives the empty text and writing leaves it alone. A new caption shows at the next repaint.
  virtual Text Caption(Control control) const = 0;
  virtual void SetCaption(Control control, const Text& caption) = 0;

  // Paints the control's pending changes now, without handling any input.
  virtual void RepaintNow(Control control) = 0;

  // 列表框1: items in the order they were added, each a line and a signed 64-bit value. Outside the
  // list an item's text is empty and its value -1.
  virtual void ClearList() = 0;
  virtual void AddListItem(const Text& text, std::int64_t value) = 0;
  virtual int ListCount() const = 0;
  virtual Text ListItemText(int index) const = 0;
  virtual std::int64_t ListItemValue(int index) const = 0;

  // The folder browser (the chosen path, or the empty text) and the message box.
  virtual Text BrowseForFolder(const Text& title) = 0;
  virtual void ShowMessage(const Text& text) = 0;
};

}  // namespace velbrook
