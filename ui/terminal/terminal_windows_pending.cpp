// Placeholders until the terminal dialogs and progress windows exist.
#include "ui/front_end.h"

int showDialog(int) { return 0; }
ProgressWindow* openProgressWindow(int) { return nullptr; }
void setProgressRange(ProgressWindow*, unsigned) {}
void setProgressPosition(ProgressWindow*, unsigned) {}
void setProgressTitle(ProgressWindow*, const char*) {}
void setProgressText(ProgressWindow*, int, const char*) {}
void pumpProgressMessage(ProgressWindow*) {}
void pumpProgressMessages(ProgressWindow*) {}
void destroyProgressWindow(ProgressWindow*) {}
int showSearchWindow(SearchBody) { return 0; }
void startProgressTimer(ProgressWindow*, unsigned, unsigned, ProgressTimerCallback) {}
void stopProgressTimer(ProgressWindow*, unsigned) {}
void sendProgressCommand(ProgressWindow*, int) {}
