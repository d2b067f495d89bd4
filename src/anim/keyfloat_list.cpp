// Curve list ownership: copy and free.
#include <cstdlib>
#include <new>

#include "anim/keyfloat.h"

namespace lumetra::anim {

KeyfloatKey* KeyfloatCopy(const KeyfloatKey* first) {
  KeyfloatKey* head = nullptr;
  KeyfloatKey* tail = nullptr;
  for (const KeyfloatKey* k = first; k != nullptr; k = k->next) {
    auto* copy = new (std::nothrow) KeyfloatKey(*k);
    if (copy == nullptr) {
      KeyfloatFree(head);
      return nullptr;
    }
    copy->next = nullptr;
    copy->prev = tail;
    (tail ? tail->next : head) = copy;
    tail = copy;
  }
  return head;
}

void KeyfloatFree(KeyfloatKey* first) {
  while (first != nullptr) {
    KeyfloatKey* next = first->next;
    delete first;
    first = next;
  }
}

}  // namespace lumetra::anim
