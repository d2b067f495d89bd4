// Puts the services of this module (formats, loading, media items) and of the picture
// module into the host service table. Called once at start-up, before libraries load.
#pragma once

namespace lumetra::media {

void MediaServicesInstall();

}  // namespace lumetra::media
