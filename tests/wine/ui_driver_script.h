// The UI driver's script: one step per line, a verb and its arguments.
// Arguments are separated by blanks; a double-quoted argument may hold
// blanks and the escapes \" \\ \r \n \t.
#pragma once

#include <string>
#include <vector>

struct Step {
    std::string verb;
    std::vector<std::string> arguments;
    std::string line;  // as written, for the report
};

// Splits one line; false (and a reason) on an unterminated quote or a bad
// escape. A line that is empty or starts with '#' yields no words.
bool splitStepLine(const std::string& line, std::vector<std::string>* words, std::string* error);

// What each verb takes; false with a reason when the step is malformed.
bool checkStep(const Step& step, std::string* error);

// The verbs and their arguments, for the usage text.
const char* stepSummary();

// Parses "123" or "0x7b" (up to 0xFFFF); false otherwise.
bool parseControlId(const std::string& text, int* id);
// Parses a non-negative decimal number up to limit.
bool parseCount(const std::string& text, unsigned long limit, unsigned long* value);
// Parses a dotted quad into its four bytes; false unless all four are 0..255.
bool parseQuad(const std::string& text, unsigned char bytes[4]);

// "text" with control characters written as escapes, in double quotes.
std::string quoted(const std::string& text);
