// Loading the test libraries of tests/plugins through the real loader, with a headless UI
// whose status line the tests read, and a registry emptied between tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/library_loader.h"
#include "host/plugin_registry.h"
#include "host/typed_object.h"
#include "model/project_fixture.h"
#include "platform/ui_host.h"

namespace lumetra::project::testing {

inline std::string TestLibrary(const std::string& name) {
  return std::string(LUMETRA_TEST_LIBRARY_DIR) + "/" + name + ".ztl";
}

class PluginTest : public ProjectTest {
 protected:
  void SetUp() override {
    ProjectTest::SetUp();
    auto ui = std::make_unique<platform::HeadlessUiHost>(true);
    ui_ = ui.get();
    previous_ui_ = platform::SetUi(std::move(ui));
    TypedObjectsInit();
    PluginRegistryClear();
    LoadedLibrariesClear();
  }
  void TearDown() override {
    ProjectTest::TearDown();  // clips go before the records they point at
    PluginRegistryClear();
    LoadedLibrariesClear();
    platform::SetUi(std::move(previous_ui_));
  }

  // Every registered record of a signature, newest first.
  static std::vector<ProcessRecord*> Records(const std::string& signature) {
    std::vector<ProcessRecord*> out;
    for (ProcessRecord* p = ProcessRegistryHead(); p != nullptr; p = p->next)
      if (p->signature == signature) out.push_back(p);
    return out;
  }

  platform::HeadlessUiHost* ui_ = nullptr;
  std::unique_ptr<platform::UiHost> previous_ui_;
};

}  // namespace lumetra::project::testing
