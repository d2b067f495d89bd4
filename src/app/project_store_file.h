// The project store over project files: the app's file commands read and write projects
// through the project file reader and writer.
#pragma once

#include <memory>

#include "app/project_store.h"

namespace lumetra::app {

std::unique_ptr<ProjectStore> MakeFileProjectStore();

}  // namespace lumetra::app
