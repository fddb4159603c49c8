#include "tests/wine/ui_driver_steps.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "tests/wine/ui_driver_windows.h"

namespace {

const DWORD kPollMs = 50;
const int kIpAddressControlId = 1000;
const int kProgressBarId = 1010;

Outcome pass(const std::string& detail = "") { return {true, detail}; }
Outcome failure(const std::string& reason) { return {false, reason}; }

// Polls check until it passes or the run's time-out has elapsed; the last
// failure is the reason.
template <typename Check>
Outcome poll(const Run& run, Check check) {
    ULONGLONG deadline = GetTickCount64() + run.timeoutMs;
    for (;;) {
        Outcome outcome = check();
        if (outcome.passed || GetTickCount64() >= deadline) return outcome;
        Sleep(kPollMs);
    }
}

std::string describeMessageBox(HWND box) {
    std::string text;
    HWND label = GetDlgItem(box, 0xFFFF);
    if (label) controlText(label, &text);
    return quoted(windowTitle(box)) + " " + quoted(text);
}

Outcome needWindow(const Run& run) {
    if (!run.current) return failure("no current window (a 'window' step comes first)");
    if (!IsWindow(run.current)) return failure("the current window is gone");
    return pass();
}

HWND control(const Run& run, const std::string& idText, std::string* error) {
    int id = 0;
    if (!parseControlId(idText, &id)) {
        *error = "bad control id " + idText;
        return nullptr;
    }
    HWND item = GetDlgItem(run.current, id);
    if (!item) *error = "no control " + idText + " in " + quoted(windowTitle(run.current));
    return item;
}

Outcome waitWindow(Run& run, const std::string& title, bool prefix) {
    HWND found = nullptr;
    Outcome outcome = poll(run, [&]() {
        found = findTopLevelWindow(title, prefix);
        if (found) return pass();
        // An error box instead of the next dialog ends the wait at once.
        HWND box = findMessageBox();
        if (box) return failure("a message box came instead: " + describeMessageBox(box));
        return failure("no window " + quoted(title));
    });
    if (!outcome.passed) return outcome;
    run.current = found;
    return pass(quoted(windowTitle(found)));
}

Outcome waitGone(const Run& run, const std::string& title) {
    return poll(run,
                [&]() { return findTopLevelWindow(title, false) ? failure("still there: " + quoted(title)) : pass(); });
}

Outcome checkTitle(const Run& run, const std::string& expected, bool prefix) {
    Outcome ready = needWindow(run);
    if (!ready.passed) return ready;
    return poll(run, [&]() {
        if (!IsWindow(run.current)) return failure("the window is gone");
        std::string title = windowTitle(run.current);
        bool match = prefix ? title.compare(0, expected.size(), expected) == 0 : title == expected;
        return match ? pass(quoted(title)) : failure("title is " + quoted(title));
    });
}

Outcome waitTitleChange(const Run& run) {
    std::string before = windowTitle(run.current);
    return poll(run, [&]() {
        if (!IsWindow(run.current)) return failure("the window is gone");
        std::string title = windowTitle(run.current);
        return title != before ? pass(quoted(title)) : failure("title stays " + quoted(title));
    });
}

Outcome waitClosed(const Run& run) {
    return poll(run, [&]() { return IsWindow(run.current) ? failure("the window stays") : pass(); });
}

Outcome checkText(const Run& run, const std::string& idText, const std::string& expected) {
    std::string error;
    HWND item = control(run, idText, &error);
    if (!item) return failure(error);
    return poll(run, [&]() {
        std::string text;
        if (!controlText(item, &text)) return failure("the program did not answer WM_GETTEXT");
        return text == expected ? pass() : failure("text is " + quoted(text));
    });
}

Outcome waitMessageBox(Run& run, const std::string& caption, const std::string& text) {
    HWND box = nullptr;
    Outcome found = poll(run, [&]() {
        box = findMessageBox();
        return box ? pass() : failure("no message box");
    });
    if (!found.passed) return found;
    std::string seen = describeMessageBox(box);
    if (seen != quoted(caption) + " " + quoted(text)) return failure("the message box is " + seen);
    run.beforeMessageBox = run.current;
    run.current = box;
    return pass();
}

Outcome pressMessageBoxOk(Run& run) {
    Outcome ready = needWindow(run);
    if (!ready.passed) return ready;
    if (!isMessageBox(run.current)) return failure("the current window is no message box");
    HWND box = run.current;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    Outcome closed = poll(run, [&]() { return IsWindow(box) ? failure("the message box stays") : pass(); });
    if (closed.passed) run.current = run.beforeMessageBox;
    return closed;
}

Outcome clickButton(const Run& run, const std::string& idText) {
    std::string error;
    HWND button = control(run, idText, &error);
    if (!button) return failure(error);
    if (!IsWindowEnabled(button) || !IsWindowVisible(button)) return failure("button " + idText + " is not usable");
    // Posted, not sent: the press may open a modal box in the program.
    PostMessageA(run.current, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return pass();
}

struct DefaultSearch {
    std::vector<int> ids;
};

BOOL CALLBACK collectDefaultButtons(HWND child, LPARAM record) {
    char name[16] = "";
    GetClassNameA(child, name, sizeof name);
    LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
    if (_stricmp(name, "Button") == 0 && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        reinterpret_cast<DefaultSearch*>(record)->ids.push_back(GetDlgCtrlID(child));
    return TRUE;
}

Outcome checkDefaultButton(const Run& run, const std::string& idText) {
    int id = 0;
    if (!parseControlId(idText, &id)) return failure("bad control id " + idText);
    return poll(run, [&]() {
        DefaultSearch search;
        EnumChildWindows(run.current, collectDefaultButtons, reinterpret_cast<LPARAM>(&search));
        std::string seen;
        for (int found : search.ids) {
            seen += ' ';
            seen += std::to_string(found);
        }
        if (search.ids.size() == 1 && search.ids[0] == id) return pass();
        return failure("default push buttons:" + (seen.empty() ? std::string(" none") : seen));
    });
}

// The key goes where the program's own keyboard input would: to the focus
// of the window's thread, through its dialog message loop.
Outcome postKey(const Run& run, const std::string& name) {
    WPARAM key = name == "enter" ? VK_RETURN : name == "escape" ? VK_ESCAPE : name == "tab" ? VK_TAB : 0;
    if (!key) return failure("unknown key " + name);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(run.current, nullptr);
    HWND target = GetGUIThreadInfo(thread, &info) && info.hwndFocus ? info.hwndFocus : run.current;
    UINT scan = MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    PostMessageA(target, WM_KEYDOWN, key, static_cast<LPARAM>(1 | scan << 16));
    PostMessageA(target, WM_KEYUP, key, static_cast<LPARAM>(1 | scan << 16 | 3u << 30));
    char focus[32];
    std::snprintf(focus, sizeof focus, "to control %d", GetDlgCtrlID(target));
    return pass(focus);
}

// Brings the window to the front. Wine on a virtual desktop that has no X
// focus leaves the first window of a program painted inactive even so: the
// window is told to draw its caption active.
Outcome activate(HWND window) {
    SetForegroundWindow(window);
    sendPlain(window, WM_NCACTIVATE, TRUE, 0);
    return GetForegroundWindow() == window ? pass() : failure("the window did not come to the front");
}

Outcome setAddress(const Run& run, const std::string* address) {
    std::string error;
    HWND item = control(run, std::to_string(kIpAddressControlId), &error);
    if (!item) return failure(error);
    if (!address) return sendPlain(item, IPM_CLEARADDRESS, 0, 0) ? pass() : failure("IPM_CLEARADDRESS timed out");
    unsigned char bytes[4];
    if (!parseQuad(*address, bytes)) return failure("not a dotted quad: " + *address);
    LPARAM packed = static_cast<LPARAM>(MAKEIPADDRESS(bytes[0], bytes[1], bytes[2], bytes[3]));
    if (!sendPlain(item, IPM_SETADDRESS, 0, packed)) return failure("IPM_SETADDRESS timed out");
    std::string shown;
    controlText(item, &shown);
    return pass("the control shows " + quoted(shown));
}

Outcome selectEntry(const Run& run, const std::string& idText, const std::string& indexText) {
    std::string error;
    HWND item = control(run, idText, &error);
    if (!item) return failure(error);
    unsigned long index = 0;
    if (!parseCount(indexText, 0xFFFF, &index)) return failure("bad index " + indexText);
    LRESULT selected = CB_ERR;
    if (!sendPlain(item, CB_SETCURSEL, index, 0, &selected)) return failure("CB_SETCURSEL timed out");
    if (selected == CB_ERR) return failure("no entry " + indexText);
    std::string shown;
    controlText(item, &shown);
    return pass(quoted(shown));
}

Outcome readBar(const Run& run) {
    std::string error;
    HWND bar = control(run, std::to_string(kProgressBarId), &error);
    if (!bar) return failure(error);
    LRESULT position = 0, maximum = 0;
    if (!sendPlain(bar, PBM_GETPOS, 0, 0, &position) || !sendPlain(bar, PBM_GETRANGE, FALSE, 0, &maximum))
        return failure("the progress bar did not answer");
    return pass(std::to_string(position) + "/" + std::to_string(maximum));
}

}  // namespace

Outcome runStep(Run& run, const Step& step) {
    const std::vector<std::string>& a = step.arguments;
    const std::string& verb = step.verb;
    if (verb == "timeout") {
        unsigned long seconds = 0;
        if (!parseCount(a[0], 3600, &seconds)) return failure("bad time-out " + a[0]);
        run.timeoutMs = static_cast<DWORD>(seconds * 1000);
        return pass();
    }
    if (verb == "sleep") {
        unsigned long ms = 0;
        if (!parseCount(a[0], 600000, &ms)) return failure("bad pause " + a[0]);
        Sleep(static_cast<DWORD>(ms));
        return pass();
    }
    if (verb == "window" || verb == "window-prefix") return waitWindow(run, a[0], verb == "window-prefix");
    if (verb == "gone") return waitGone(run, a[0]);
    if (verb == "message-box") return waitMessageBox(run, a[0], a[1]);

    if (verb == "closed") return run.current ? waitClosed(run) : failure("no current window");

    // The rest act on the current window.
    Outcome ready = needWindow(run);
    if (!ready.passed) return ready;
    if (verb == "title" || verb == "title-prefix") return checkTitle(run, a[0], verb == "title-prefix");
    if (verb == "title-changes") return waitTitleChange(run);
    if (verb == "text") return checkText(run, a[0], a[1]);
    if (verb == "ok") return pressMessageBoxOk(run);
    if (verb == "click") return clickButton(run, a[0]);
    if (verb == "set-ip") return setAddress(run, &a[0]);
    if (verb == "clear-ip") return setAddress(run, nullptr);
    if (verb == "select") return selectEntry(run, a[0], a[1]);
    if (verb == "bar") return readBar(run);
    if (verb == "default-button") return checkDefaultButton(run, a[0]);
    if (verb == "key") return postKey(run, a[0]);
    if (verb == "close") {
        PostMessageA(run.current, WM_SYSCOMMAND, SC_CLOSE, 0);
        return pass();
    }
    if (verb == "command") {
        int id = 0;
        if (!parseControlId(a[0], &id)) return failure("bad command id " + a[0]);
        PostMessageA(run.current, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        return pass();
    }
    if (verb == "rect") {
        RECT r;
        if (!GetWindowRect(run.current, &r)) return failure("no rectangle");
        return pass(std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
                    " " + std::to_string(r.bottom - r.top));
    }
    if (verb == "activate") return activate(run.current);
    if (verb == "centred") {
        RECT r;
        if (!GetWindowRect(run.current, &r)) return failure("no rectangle");
        int left = r.left, right = GetSystemMetrics(SM_CXSCREEN) - r.right;
        int top = r.top, bottom = GetSystemMetrics(SM_CYSCREEN) - r.bottom;
        std::string margins = "margins " + std::to_string(left) + " " + std::to_string(right) + " " +
                              std::to_string(top) + " " + std::to_string(bottom);
        bool centred = left - right >= -1 && left - right <= 1 && top - bottom >= -1 && top - bottom <= 1;
        return centred ? pass(margins) : failure(margins);
    }
    std::string error;
    HWND item = control(run, a[0], &error);
    if (!item) return failure(error);
    if (verb == "style") {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(GetWindowLongPtrA(item, GWL_STYLE)));
        return pass(hex);
    }
    if (verb == "show") {
        std::string text;
        if (!controlText(item, &text)) return failure("the program did not answer WM_GETTEXT");
        return pass(quoted(text));
    }
    // set-text
    return setControlText(item, a[1]) ? pass() : failure("WM_SETTEXT timed out");
}
