#include <gtest/gtest.h>

#include "effects/fake_host.h"
#include "platform/dynamic_library.h"

namespace effects_test {
namespace {

using GetLibInfoFn = int32_t (*)(HostCallContext*, const effects::HostServiceTable*);

TEST(EffectsModule, ExportsOnlyTheEntryPointAndRegistersThroughIt) {
  auto lib = lumetra::platform::DynamicLibrary::Open(EFFECTS_MODULE_PATH);
  ASSERT_TRUE(lib.Loaded()) << lib.Error();
  auto entry = reinterpret_cast<GetLibInfoFn>(lib.Symbol("ZOLT_GetLibInfo"));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(lib.Symbol("_ZN7effects14NormalisedTimeEfff"), nullptr);  // internals stay hidden

  FakeHost host;
  EXPECT_EQ(entry(&host.ctx, &host.table), 1);
  EXPECT_EQ(host.completed.size(), 39u);
  lib.KeepLoaded();  // the host's records point into it
}

}  // namespace
}  // namespace effects_test
