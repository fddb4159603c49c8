#include "tests/wine/ui_driver_windows.h"

#include <cstring>

namespace {

const UINT kSendTimeoutMs = 5000;
const int kMessageBoxTextId = 0xFFFF;

struct TitleSearch {
    const std::string* title;
    bool prefix;
    bool messageBoxOnly;
    HWND found;
};

BOOL CALLBACK matchTopLevel(HWND window, LPARAM record) {
    TitleSearch* search = reinterpret_cast<TitleSearch*>(record);
    if (!IsWindowVisible(window)) return TRUE;
    if (search->messageBoxOnly) {
        if (!isMessageBox(window)) return TRUE;
    } else {
        std::string title = windowTitle(window);
        bool match =
            search->prefix ? title.compare(0, search->title->size(), *search->title) == 0 : title == *search->title;
        if (!match) return TRUE;
    }
    search->found = window;
    return FALSE;
}

std::string className(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct ChildSurvey {
    bool hasText;
    bool onlyButtonsAndStatics;
};

BOOL CALLBACK surveyChild(HWND child, LPARAM record) {
    ChildSurvey* survey = reinterpret_cast<ChildSurvey*>(record);
    std::string name = className(child);
    bool isStatic = _stricmp(name.c_str(), "Static") == 0;
    if (isStatic && GetDlgCtrlID(child) == kMessageBoxTextId) survey->hasText = true;
    if (!isStatic && _stricmp(name.c_str(), "Button") != 0) survey->onlyButtonsAndStatics = false;
    return TRUE;
}

}  // namespace

HWND findTopLevelWindow(const std::string& title, bool prefix) {
    TitleSearch search{&title, prefix, false, nullptr};
    EnumWindows(matchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool isMessageBox(HWND window) {
    if (className(window) != "#32770") return false;
    ChildSurvey survey{false, true};
    EnumChildWindows(window, surveyChild, reinterpret_cast<LPARAM>(&survey));
    return survey.hasText && survey.onlyButtonsAndStatics;
}

HWND findMessageBox() {
    std::string none;
    TitleSearch search{&none, false, true, nullptr};
    EnumWindows(matchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string windowTitle(HWND window) {
    char title[512] = "";
    // The title of another program's top-level window is read without
    // sending it anything.
    GetWindowTextA(window, title, sizeof title);
    return title;
}

bool controlText(HWND control, std::string* text) {
    char buffer[4096] = "";
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &copied))
        return false;
    buffer[sizeof buffer - 1] = '\0';
    *text = buffer;
    return true;
}

bool setControlText(HWND control, const std::string& text) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                               kSendTimeoutMs, &result) != 0;
}

bool sendPlain(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer)) return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}
