// The program entry: the single-instance test, the application object, the windows that live
// as long as the program (created in their fixed order, the main window first) and the
// event loop. No argument of the command line is read.
//
// UI thread (the process's main thread).
#pragma once

// Runs the program; returns the process's exit code. A second start by the same user on the
// same display while the program runs ends at once with 0 and without a word.
int RunProgram(int argc, char** argv);

// Japanese text everywhere, also in the windows Qt builds itself: the program's face as the
// application's font, sized in points.
void SetProgramFont();

// Loads Qt's own Japanese texts for the windows the toolkit builds (file and folder dialogs,
// standard buttons) into the running application; false when they are not installed, and the
// toolkit then speaks English.
bool InstallToolkitTranslations();
