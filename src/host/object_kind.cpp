// The object kind and operation tables.
#include "host/object_kind.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "clipdata/atom.h"

namespace lumetra::project {
namespace {

struct Tables {
  std::mutex mutex;
  std::vector<std::shared_ptr<const ObjectKindHandler>> kinds;
  std::map<const Atom*, std::shared_ptr<const ObjectOperationHandler>> operations;
};

Tables& Get() {
  static Tables tables;
  return tables;
}

bool SameSlot(const ObjectKindHandler& a, const ObjectKindHandler& b) {
  if (a.kind != 0 || b.kind != 0) return a.kind == b.kind;
  return !a.create_names.empty() && !b.create_names.empty() &&
         AtomCompare(a.create_names.front(), b.create_names.front()) == 0;
}

}  // namespace

void ObjectKindRegister(ObjectKindHandler handler) {
  auto entry = std::make_shared<const ObjectKindHandler>(std::move(handler));
  Tables& t = Get();
  std::lock_guard lock(t.mutex);
  auto it = std::find_if(t.kinds.begin(), t.kinds.end(),
                         [&](const auto& h) { return SameSlot(*h, *entry); });
  if (it != t.kinds.end()) {
    *it = std::move(entry);
  } else {
    t.kinds.push_back(std::move(entry));
  }
}

void ObjectKindUnregister(int32_t kind) {
  Tables& t = Get();
  std::lock_guard lock(t.mutex);
  std::erase_if(t.kinds, [&](const auto& h) { return h->kind == kind; });
}

int32_t ObjectKindOf(const void* object) {
  if (object == nullptr) return 0;
  if (TemplateIsLive(object)) return OBJECT_KIND_TEMPLATE;
  if (DescriptorIsLive(object)) return OBJECT_KIND_DATA_DESCRIPTOR;
  std::vector<std::shared_ptr<const ObjectKindHandler>> kinds;
  {
    Tables& t = Get();
    std::lock_guard lock(t.mutex);
    kinds = t.kinds;
  }
  for (const auto& h : kinds)
    if (h->kind != 0 && h->owns && h->owns(object)) return h->kind;
  return 0;
}

std::shared_ptr<const ObjectKindHandler> ObjectKindFindByCreateName(std::string_view name) {
  Tables& t = Get();
  std::lock_guard lock(t.mutex);
  for (const auto& h : t.kinds)
    for (const std::string& n : h->create_names)
      if (AtomCompare(n, name) == 0) return h;
  return nullptr;
}

std::shared_ptr<const ObjectKindHandler> ObjectKindFind(int32_t kind) {
  if (kind == 0) return nullptr;
  Tables& t = Get();
  std::lock_guard lock(t.mutex);
  for (const auto& h : t.kinds)
    if (h->kind == kind) return h;
  return nullptr;
}

void ObjectOperationRegister(std::string_view name, ObjectOperationHandler handler) {
  const Atom* atom = AtomIntern(name);
  auto entry = std::make_shared<const ObjectOperationHandler>(std::move(handler));
  Tables& t = Get();
  std::lock_guard lock(t.mutex);
  t.operations[atom] = std::move(entry);
}

void ObjectOperationUnregister(std::string_view name) {
  const Atom* atom = AtomFind(name);
  Tables& t = Get();
  std::lock_guard lock(t.mutex);
  t.operations.erase(atom);
}

std::shared_ptr<const ObjectOperationHandler> ObjectOperationFind(const Atom* name) {
  Tables& t = Get();
  std::lock_guard lock(t.mutex);
  auto it = t.operations.find(name);
  return it == t.operations.end() ? nullptr : it->second;
}

}  // namespace lumetra::project
