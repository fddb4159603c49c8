// The process's one console: standard input, output and error, the
// terminal's modes, Ctrl+C and the requests to end. The entry owns it and
// lends it to the front ends. Signals reach the process, not an object, so
// there is one per process; its handlers only set lock-free flags, apart
// from putting the terminal back before a signal ends the process.
#pragma once

#include <cstddef>
#include <memory>

enum class ConsoleMode {
    Lines,        // as the user had it: canonical, echo
    HiddenLines,  // canonical, no echo; Enter still ends the line visibly
    Keys,         // no line editing, no echo, reads never block
};

enum class ConsoleStream { Output, Error };

enum class LineResult { Line, Closed };

// Who hears Ctrl+C.
enum class InterruptCatching {
    // The command line: every Ctrl+C counts, and a request to end (POSIX:
    // SIGTERM, SIGHUP; Windows: the console closed, logoff, shutdown) is
    // noted instead of ending the process.
    Always,
    // The wizard at a terminal: Ctrl+C counts while a listener is on screen
    // and is noted as unheard otherwise; a request to end still ends the
    // process, the terminal put back first.
    WhileHeard,
};

class Console {
public:
    Console();
    // Puts the terminal back as it was found.
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // For the command line. Windows: output goes to the console the program
    // was started from (when its standard handles are not already
    // redirected). Elsewhere: SIGPIPE and SIGXFSZ are ignored, so writing to
    // a closed output or past a file-size limit fails (EPIPE, EFBIG) instead
    // of ending the process, and a closed standard descriptor is opened on
    // /dev/null.
    void attach();

    bool inputIsTerminal() const;
    bool outputIsTerminal() const;
    bool errorIsTerminal() const;
    // Columns of the terminal on that stream; 80 when unknown or fewer than fewest.
    int columns(ConsoleStream stream, int fewest) const;

    // No effect unless standard input is a terminal. The settings found at
    // the first change are kept; from then on a signal that would end the
    // process with its default action puts them back first.
    void setMode(ConsoleMode mode);
    // Back to the settings found at the first change.
    void restore();

    // One line without its line end (a CR before the LF is dropped too), cut
    // to fit out; the rest of an overlong line is skipped, and what was read
    // beyond the line waits for the next call. Closed at the end of input,
    // on Ctrl+C (unheard or taken, see takeInterrupt) and once an end was
    // requested; a last line without a line end still counts. Waits in
    // slices of 50 ms, so a signal taken by another thread is noticed too.
    LineResult readLine(char* out, size_t size);
    // The same without echo, for a prompt already written: what was typed
    // ahead is dropped, and the echo and a line end on standard error come
    // back before it returns.
    LineResult readHiddenLine(char* out, size_t size);
    // In Keys mode: reads what is pending without waiting; true when it held
    // Esc (alone, not the start of a key sequence) or q.
    bool cancelKeyTyped();

    // From now on Ctrl+C raises a flag instead of ending the process; the
    // first call decides how (later calls change nothing). A signal ignored
    // from the start (nohup) stays ignored.
    void catchInterrupts(InterruptCatching catching);
    // Something that acts on Ctrl+C is on screen (counted, any thread).
    void addInterruptListener();
    void removeInterruptListener();
    // Consumes a Ctrl+C that nothing has acted on yet; true when there was one.
    bool takeInterrupt();
    // Ctrl+C came while no listener was on screen (WhileHeard).
    bool unheardInterrupt() const;
    // Ctrl+C pressed, or an end requested.
    bool interrupted() const;
    // How many times Ctrl+C was pressed so far; at least 2 once an end was
    // requested, as it asks to cancel at once as a second Ctrl+C does.
    int interruptCount() const;
    // An end requested, as opposed to Ctrl+C only. Windows ends the process
    // about 5 s after the console closes, whatever the program does.
    bool terminationRequested() const;

private:
    struct Input;  // each system's own
    std::unique_ptr<Input> input_;
};
