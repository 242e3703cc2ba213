// The one registration of the picture formats with the picture class, run at start-up before
// the first window, at exit, and by tests that load pictures by extension. The format
// registry (`FileFormatList`) registers the formats of the class library and the readers
// with their descriptions, then TGIFImage takes "gif" ("GIF Image") and the PNG object "png"
// ("Portable Network Graphics"): the picture class answers from the latest registration, so
// the PNG object wins that extension. The class library's own registrations of the classes
// the registry takes over are put back when it goes. UI thread, like the picture registry
// itself.
#pragma once

class TFileFormatList;

void RegisterPictureFormats();
// Removes every registration RegisterPictureFormats made.
void UnregisterPictureFormats();
// The process-wide format registry between the two; none outside.
TFileFormatList* FileFormatList();
