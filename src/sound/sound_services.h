// Puts the sound services behind the host service table's sound slots.
#pragma once

namespace lumetra::sound {

// Called once at start-up, before any library is loaded; calling it again changes nothing.
void SoundRegisterHostServices();

}  // namespace lumetra::sound
