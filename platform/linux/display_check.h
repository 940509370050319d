#pragma once

namespace brisa {

// Called before the QApplication is made. Without a graphical session Qt
// ends the program with an abort and a core dump; this says in one line on
// standard error that no display was found and how to start the program,
// and returns false (the caller exits with status 1). A display that is
// named but cannot be opened ends the same way once Qt gives up on it.
// A -platform argument counts as the user's choice, like QT_QPA_PLATFORM.
bool CheckDisplay(int pArgc, char** pArgv);

} // namespace brisa
