#include "tests/wine/ui_driver_script.h"

bool splitStepLine(const std::string& line, std::vector<std::string>* words, std::string* error) {
    words->clear();
    size_t i = 0;
    const size_t n = line.size();
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == n || line[i] == '#') return true;
    while (i < n) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] != '"') {
            while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n') word += line[i++];
            words->push_back(word);
            continue;
        }
        ++i;
        bool closed = false;
        while (i < n) {
            char c = line[i++];
            if (c == '"') {
                closed = true;
                break;
            }
            if (c != '\\') {
                word += c;
                continue;
            }
            if (i == n) break;
            switch (line[i++]) {
                case '"': word += '"'; break;
                case '\\': word += '\\'; break;
                case 'r': word += '\r'; break;
                case 'n': word += '\n'; break;
                case 't': word += '\t'; break;
                default: *error = "unknown escape in " + line; return false;
            }
        }
        if (!closed) {
            *error = "unterminated quote in " + line;
            return false;
        }
        words->push_back(word);
    }
    return true;
}

namespace {

struct VerbShape {
    const char* verb;
    size_t arguments;
    const char* usage;
};

const VerbShape kVerbs[] = {
    {"timeout", 1, "timeout SECONDS            time-out of the waits that follow (default 30)"},
    {"window", 1, "window TITLE               wait for a visible top-level window with this title"},
    {"window-prefix", 1, "window-prefix PREFIX       ... whose title begins with PREFIX"},
    {"gone", 1, "gone TITLE                 wait until no visible window has this title"},
    {"title", 1, "title TITLE                the current window's title is TITLE"},
    {"title-prefix", 1, "title-prefix PREFIX        ... begins with PREFIX"},
    {"title-changes", 0, "title-changes              wait until the current window's title changes"},
    {"closed", 0, "closed                     wait until the current window is destroyed"},
    {"text", 2, "text ID TEXT               control ID of the current window shows TEXT"},
    {"show", 1, "show ID                    print the text of control ID"},
    {"set-text", 2, "set-text ID TEXT           WM_SETTEXT to control ID"},
    {"set-ip", 1, "set-ip A.B.C.D             IPM_SETADDRESS to the IP address control (1000)"},
    {"clear-ip", 0, "clear-ip                   IPM_CLEARADDRESS to the IP address control"},
    {"select", 2, "select ID INDEX            CB_SETCURSEL on combo box ID"},
    {"click", 1, "click ID                   press button ID (WM_COMMAND BN_CLICKED)"},
    {"command", 1, "command ID                 post WM_COMMAND ID (2 is what Escape sends)"},
    {"close", 0, "close                      the close box (WM_SYSCOMMAND SC_CLOSE)"},
    {"default-button", 1, "default-button ID          button ID alone is drawn as the default push button"},
    {"key", 1, "key enter|escape|tab       post the key to the control that has the focus"},
    {"style", 1, "style ID                   print the window style of control ID"},
    {"bar", 0, "bar                        print the progress bar's position and range"},
    {"message-box", 2, "message-box CAPTION TEXT   wait for a message box and compare it"},
    {"ok", 0, "ok                         press the message box's OK; back to the window before"},
    {"rect", 0, "rect                       print the current window's rectangle: x y width height"},
    {"centred", 0, "centred                    the current window has equal margins on the screen (1 pixel)"},
    {"activate", 0, "activate                   bring the current window to the front"},
    {"sleep", 1, "sleep MS                   pause"},
};

}  // namespace

bool checkStep(const Step& step, std::string* error) {
    for (const VerbShape& shape : kVerbs) {
        if (step.verb != shape.verb) continue;
        if (step.arguments.size() != shape.arguments) {
            *error = "usage: " + std::string(shape.usage);
            return false;
        }
        return true;
    }
    *error = "unknown step '" + step.verb + "'";
    return false;
}

const char* stepSummary() {
    static std::string summary;
    if (summary.empty()) {
        for (const VerbShape& shape : kVerbs) summary += std::string("  ") + shape.usage + "\n";
    }
    return summary.c_str();
}

bool parseCount(const std::string& text, unsigned long limit, unsigned long* value) {
    if (text.empty() || text.size() > 10) return false;
    unsigned long result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<unsigned long>(c - '0');
    }
    if (result > limit) return false;
    *value = result;
    return true;
}

bool parseControlId(const std::string& text, int* id) {
    unsigned long value = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (text.size() > 6) return false;
        for (size_t i = 2; i < text.size(); ++i) {
            char c = text[i];
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
            if (digit < 0) return false;
            value = value * 16 + static_cast<unsigned long>(digit);
        }
    } else if (!parseCount(text, 0xFFFF, &value)) {
        return false;
    }
    *id = static_cast<int>(value);
    return true;
}

bool parseQuad(const std::string& text, unsigned char bytes[4]) {
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        size_t dot = text.find('.', start);
        if ((part < 3) != (dot != std::string::npos)) return false;
        std::string piece = text.substr(start, part < 3 ? dot - start : std::string::npos);
        unsigned long value = 0;
        if (piece.size() > 3 || !parseCount(piece, 255, &value)) return false;
        bytes[part] = static_cast<unsigned char>(value);
        start = dot + 1;
    }
    return true;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out + "\"";
}
