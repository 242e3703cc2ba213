// ALSA prints its own complaints on stderr (no card, no such device); every ALSA layer of ours
// answers with a result code or a fallback instead, so the complaints are kept quiet. Call it
// before the first ALSA call of a layer; it installs the quiet handler once per process.
#pragma once

namespace snd {

void silenceAlsaOnce();

}  // namespace snd
