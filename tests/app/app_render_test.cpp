// The program's render engine: the "RenderThreads" setting applied at start-up and while the
// program runs, within 1 to 32, and the engine ended at exit.
#include <gtest/gtest.h>

#include "app/app_render.h"

namespace lumetra::app {
namespace {

TEST(AppRender, ThreadSettingIsClampedAndChangeableWhileRunning) {
  const struct {
    int32_t asked, got;
  } cases[] = {{3, 3}, {0, 1}, {-4, 1}, {33, 32}, {1, 1}, {2, 2}};
  for (const auto& c : cases) {
    EXPECT_EQ(AppRenderSetThreads(c.asked), c.got) << c.asked;
    EXPECT_EQ(AppRenderEngine().Threads(), c.got);
  }
  EXPECT_TRUE(AppRenderEngineMade());
  AppRenderStop();  // joins the threads
  EXPECT_FALSE(AppRenderEngineMade());
  AppRenderSetMemory(1u << 20);  // no engine: nothing is made
  EXPECT_FALSE(AppRenderEngineMade());
}

}  // namespace
}  // namespace lumetra::app
