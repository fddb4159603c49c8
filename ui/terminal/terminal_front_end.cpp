#include "ui/terminal/terminal_front_end.h"

#include "ui/native_front_end.h"

std::unique_ptr<WizardWindows> makeNativeWindows(void*, const ProgramProfile&, Console& console) {
    return std::make_unique<TerminalWindows>(console);
}
