#include <gtest/gtest.h>

#include "host/host_services.h"
#include "host/object_error.h"
#include "sound/sound_services.h"

namespace lumetra::sound {
namespace {

TEST(SoundServices, TheTableReachesTheSoundModule) {
  SoundRegisterHostServices();
  const HostServiceTable* host = project::HostServices();
  SoundBlock* a = host->SoundCreate(0.0f, 1.0f, 1000, 1, 2);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->samples, 1000u);
  SoundBlock* b = host->SoundConvertBytes(a, 2);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->bytes, 2);
  SoundBlock* c = host->SoundConvertChannels(b, 1);
  ASSERT_NE(c, nullptr);
  SoundBlock* d = host->SoundResample(c, 500);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->samples, 500u);
  EXPECT_EQ(host->SoundPlace(d, a, 0.0f), 1);
  EXPECT_EQ(host->SoundConvertBytes(a, 9), nullptr);
  for (SoundBlock* block : {a, b, c, d}) host->SoundFree(block);

  HostCallContext ctx{};
  EXPECT_EQ(host->GetInputSound(&ctx, 0, 0.0f, 1.0f), nullptr);
  EXPECT_EQ(project::ObjectErrorText(&ctx), "Illegal request");
  project::ObjectClearError(&ctx);
}

}  // namespace
}  // namespace lumetra::sound
