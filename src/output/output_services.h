// The output values a format reads while a session writes it (the flags that say whether
// sound follows the pictures, the rates, the names), through the host's ClipGetValue service
// on the session's context (kind 64). Other contexts and keys are answered as before.
#pragma once

namespace lumetra::output {

// Installs the service over the host's; once the host's services are in place.
void OutputServicesInstall();

}  // namespace lumetra::output
