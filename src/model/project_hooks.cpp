// The process-wide table of calls into the modules around the project model.
#include "model/project_hooks.h"

namespace lumetra::project {

ProjectHooks& Hooks() {
  static ProjectHooks hooks;
  return hooks;
}

}  // namespace lumetra::project
