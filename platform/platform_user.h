// Who runs the program, on which machine, and where the system keeps a
// user's application state: what a record of a run says of its operator.
#pragma once

#include <string>

// The system user running the program; empty when the system cannot say.
std::string userName();

// This machine's name; empty when the system cannot say.
std::string machineName();

// The folder for this user's state of application, by the platform's own
// convention ($XDG_STATE_HOME/APPLICATION, else ~/.local/state/APPLICATION;
// on Windows in the local application-data folder); empty when no base is
// known. It may not exist yet.
std::string userStateFolder(const char* application);

// name in folder, with the system's separator.
std::string pathInFolder(const std::string& folder, const char* name);
