// The render engine's host services: installed into the host service table so that plug-in
// make functions reach the engine through it.
#pragma once

namespace lumetra::render {

// Installs GetInputFrame, FreeInputFrame, CheckAbort, the request user word and the render
// calls' error report into their slots. Idempotent; every engine calls it when it is made,
// and start-up calls it before any library loads (libraries copy the table).
void RenderInstallHostServices();

}  // namespace lumetra::render
