// Clip data copies and frees (every undo step and edit session copies blocks), and atom
// lookups (every typed-object call looks names up).
#include "clipdata/clip_data.h"

#include <benchmark/benchmark.h>

#include <cstring>

#include "anim/keyfloat.h"
#include "clipdata/atom.h"
#include "clipdata/clip_data_memory.h"

namespace lumetra::project {
namespace {

struct EffectBlock {
  int32_t flags;
  void* pairs[20];
  KeyfloatKey* curves[4];
  float amount;
  char* caption;
  void* buffer;
};

KeyfloatKey* Curve(int keys) {
  KeyfloatKey* head = nullptr;
  for (int i = keys - 1; i >= 0; --i) {
    auto* k = new KeyfloatKey{};
    k->time = static_cast<float>(i);
    k->next = head;
    if (head) head->prev = k;
    head = k;
  }
  return head;
}

struct Fixture {
  DescriptorPtr descriptor;
  EffectBlock* block;

  Fixture() {
    EffectBlock proto{};
    TemplatePtr tmpl(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
    auto at = [&](const void* p) { return reinterpret_cast<uintptr_t>(p); };
    TemplateAddField(*tmpl, "flags", "long", at(&proto.flags), 1);
    TemplateAddField(*tmpl, "pairs", "geometry", at(&proto.pairs), 20);
    TemplateAddField(*tmpl, "curves", "keyfloat", at(&proto.curves), 4);
    TemplateAddField(*tmpl, "amount", "float", at(&proto.amount), 1);
    TemplateAddField(*tmpl, "caption", "string", at(&proto.caption), 1);
    TemplateAddField(*tmpl, "buffer", "ALLOCBUF", at(&proto.buffer), 1);
    descriptor = DescriptorCompile(*tmpl);
    block = static_cast<EffectBlock*>(DataCreate(descriptor.get()));
    for (auto*& c : block->curves) c = Curve(10);
    block->caption = ClipDataStringDup("Morph caption");
    const uint32_t size = 1024;
    block->buffer = ClipDataAlloc(size);
    std::memcpy(block->buffer, &size, sizeof size);
  }
  ~Fixture() { DataFree(descriptor.get(), block); }
};

void BM_DataCopyAndFree(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    void* copy = DataCopy(f.descriptor.get(), f.block);
    if (copy == nullptr) state.SkipWithError("copy failed");
    DataFree(f.descriptor.get(), copy);
  }
}
BENCHMARK(BM_DataCopyAndFree);

void BM_AtomFind(benchmark::State& state) {
  AtomInternStandardNames();
  for (auto _ : state) benchmark::DoNotOptimize(AtomFind("NEXTSELECTEDGEOMETRY"));
}
BENCHMARK(BM_AtomFind);

}  // namespace
}  // namespace lumetra::project
