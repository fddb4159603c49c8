// orb-ui-driver: drives the dialogs of a program running in the same Wine
// (or Windows) session from a script of steps, for end-to-end tests and
// screenshots. One line per step on standard output; the exit code is 1 at
// the first step that fails, 2 for a malformed script, 0 when all passed.
//
//   orb-ui-driver -f STEPS-FILE
//   orb-ui-driver "STEP" "STEP" ...
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/wine/ui_driver_script.h"
#include "tests/wine/ui_driver_steps.h"

namespace {

bool readSteps(const std::vector<std::string>& lines, std::vector<Step>* steps) {
    for (const std::string& line : lines) {
        std::vector<std::string> words;
        std::string error;
        if (!splitStepLine(line, &words, &error)) {
            std::printf("BAD  %s\n", error.c_str());
            return false;
        }
        if (words.empty()) continue;
        Step step{words[0], std::vector<std::string>(words.begin() + 1, words.end()), line};
        if (!checkStep(step, &error)) {
            std::printf("BAD  %s: %s\n", line.c_str(), error.c_str());
            return false;
        }
        steps->push_back(step);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> lines;
    if (argc == 3 && std::string(argv[1]) == "-f") {
        std::ifstream file(argv[2]);
        if (!file) {
            std::printf("BAD  cannot read %s\n", argv[2]);
            return 2;
        }
        for (std::string line; std::getline(file, line);) lines.push_back(line);
    } else {
        for (int i = 1; i < argc; ++i) lines.push_back(argv[i]);
    }
    if (lines.empty()) {
        std::printf("usage: orb-ui-driver -f STEPS-FILE | orb-ui-driver STEP...\nsteps:\n%s", stepSummary());
        return 2;
    }
    std::vector<Step> steps;
    if (!readSteps(lines, &steps)) return 2;

    Run run;
    for (const Step& step : steps) {
        Outcome outcome = runStep(run, step);
        if (!outcome.passed) {
            std::printf("FAIL %s: %s\n", step.line.c_str(), outcome.detail.c_str());
            std::fflush(stdout);
            return 1;
        }
        if (outcome.detail.empty())
            std::printf("ok   %s\n", step.line.c_str());
        else
            std::printf("ok   %s -> %s\n", step.line.c_str(), outcome.detail.c_str());
        std::fflush(stdout);
    }
    return 0;
}
