#include "platform/win32/system_message.h"

#include <cstdio>

void systemMessage(DWORD code, char* why, size_t whySize) {
    if (!why || whySize == 0) return;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, why,
                                  static_cast<DWORD>(whySize), nullptr);
    while (length > 0 && (why[length - 1] == '\r' || why[length - 1] == '\n' || why[length - 1] == '.'))
        why[--length] = '\0';
    if (length == 0) std::snprintf(why, whySize, "error %lu", static_cast<unsigned long>(code));
}
