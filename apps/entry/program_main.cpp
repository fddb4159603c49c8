#include "apps/entry/program_main.h"

#include "apps/command_line/command_request.h"
#include "apps/command_line/history_command.h"
#include "apps/command_line/one_device.h"
#include "apps/fleet/fleet.h"
#include "core/run.h"
#include "core/start_up.h"
#include "platform/platform_console.h"
#include "ui/native_front_end.h"

namespace {

int runWizard(const ProgramDefinition& program, void* instance, Console& console) {
    std::unique_ptr<WizardWindows> windows = makeNativeWindows(instance, program.profile, console);
    if (!windows) return exitCodeOf(RunOutcome::Declined, ExitStyle::Wizard);
    WizardFrontEnd frontEnd(*windows);
    Run run(program.profile, frontEnd);
    run.context().stage.store(program.initialStage);
    return runUntilStopped(run, [&program](Run& r) {
        startUp(r);
        program.flow(r);
    });
}

int runCommandLine(const ProgramDefinition& program, int argc, char** argv, Console& console) {
    console.attach();
    const ProgramProfile& profile = program.profile;
    CliOptions options;
    std::string error;
    if (!parseCommandLine(profile, argc, argv, &options, &error)) return usageError(profile, error);
    int code = 0;
    if (runInformationCommand(profile, options, &code)) return code;
    if (options.command == CliCommand::History) return runHistoryCommand(profile, options);
    // The history file, checked before anything starts; none is one to skip.
    std::string history;
    if (!prepareHistory(options, &history, &error)) return usageError(profile, error);
    options.history = history;
    options.noHistory = history.empty();
    RunRequest request;
    if (!buildRequest(profile, options, console, &request, &error)) return usageError(profile, error);
    if (isFleet(options)) return runFleet(profile, options, request, console);
    return runOneDevice(profile, console, options, request, program.flow, program.initialStage, history);
}

}  // namespace

int programMain(const ProgramDefinition& program, void* instance, int argc, char** argv) {
    // The one console of the process, lent to the front ends; it puts the
    // terminal back as it found it when the run has ended, whatever ended it
    // (in the wizard also Ctrl+C with nothing on screen, which ends the run
    // as it stands, exit code 0).
    Console console;
    // With arguments: the command line; without: the wizard, as ever.
    return argc > 1 ? runCommandLine(program, argc, argv, console) : runWizard(program, instance, console);
}
