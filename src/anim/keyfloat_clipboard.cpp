// The curve clipboard: one copied curve for the whole process, owned here.
#include "anim/keyfloat_clipboard.h"

#include <mutex>

#include "anim/keyfloat.h"

namespace lumetra::anim {

namespace {

struct Clipboard {
  std::mutex mutex;
  KeyfloatKey* curve = nullptr;
  bool filled = false;
  CurveDisplay display;
  ~Clipboard() { KeyfloatFree(curve); }
};

Clipboard& TheClipboard() {
  static Clipboard clipboard;
  return clipboard;
}

}  // namespace

int KeyfloatClipboardCopy(const KeyfloatKey* curve, const CurveDisplay& display) {
  KeyfloatKey* copy = KeyfloatCopy(curve);
  if (curve != nullptr && copy == nullptr) return 0;
  Clipboard& c = TheClipboard();
  std::lock_guard lock(c.mutex);
  KeyfloatFree(c.curve);
  c.curve = copy;
  c.filled = true;
  c.display = display;
  return 1;
}

bool KeyfloatClipboardHas(CurveDisplay* display) {
  Clipboard& c = TheClipboard();
  std::lock_guard lock(c.mutex);
  if (c.filled && display) *display = c.display;
  return c.filled;
}

int KeyfloatClipboardPaste(KeyfloatKey** curve) {
  if (curve == nullptr) return 0;
  Clipboard& c = TheClipboard();
  KeyfloatKey* copy = nullptr;
  {
    std::lock_guard lock(c.mutex);
    if (!c.filled) return 0;
    copy = KeyfloatCopy(c.curve);
    if (c.curve != nullptr && copy == nullptr) return 0;
  }
  KeyfloatFree(*curve);
  *curve = copy;
  return 1;
}

void KeyfloatClipboardClear() {
  Clipboard& c = TheClipboard();
  std::lock_guard lock(c.mutex);
  KeyfloatFree(c.curve);
  c.curve = nullptr;
  c.filled = false;
  c.display = CurveDisplay{};
}

std::string KeyfloatPasteUndoText(std::string_view curve_name) {
  if (curve_name.empty()) return "Paste curve";
  return "Paste '" + std::string(curve_name) + "' curve";
}

}  // namespace lumetra::anim
