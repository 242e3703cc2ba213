// The one registration of the picture formats of pictures/ with the picture class, run at
// start-up before the first window, at exit, and by tests that load pictures by extension.
// It registers "gif" ("GIF Image") with TGIFImage and "png" ("Portable Network Graphics")
// with TPNGObject; the picture class answers
// from the latest registration, so formats registered here later in the list win their
// extensions. UI thread, like the picture registry itself.
#pragma once

void RegisterPictureFormats();
// Removes every registration RegisterPictureFormats made.
void UnregisterPictureFormats();
