// The host with this module's services installed and the test format library loaded
// through the real loader; a context of a plain clip call.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/host_services.h"
#include "host/object_error.h"
#include "host/plugin_fixture.h"
#include "media/media_services.h"

namespace lumetra::media::testing {

class MediaTest : public project::testing::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    MediaServicesInstall();
    ASSERT_EQ(project::LibraryLoad(LUMETRA_TEST_FORMATS_PATH).result, 1);
    ctx_.word[HCC_WORD_KIND] = HCC_KIND_CLIP;
  }
  void TearDown() override {
    project::ObjectClearError(&ctx_);
    PluginTest::TearDown();
  }
  std::string Error() const { return std::string(project::ObjectErrorText(&ctx_)); }

  const HostServiceTable* host_ = project::HostServices();
  HostCallContext ctx_{};
};

}  // namespace lumetra::media::testing
