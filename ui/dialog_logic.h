// What the wizard dialogs do, shared by both front ends: the texts and
// titles they show, and what their buttons write into the run's context.
#pragma once

#include <cstddef>

#include "core/upgrade_context.h"
#include "ui/wizard.h"

const int kLocalAddressTextSize = 16;

// The local address list: "%u.%u.%u.%u" per entry of localAddresses, in
// stored order, up to the first 0 and at most 8. Returns the count.
int localAddressEntries(char entries[8][kLocalAddressTextSize]);

// Welcome dialog: a mode button.
void chooseMode(RunMode mode);

// Address dialogs, OK: the typed text (bounded) becomes targetText and is
// parsed. Valid: a new file name, localAddress from the selected entry,
// true (the dialog ends with 1). Invalid: false, nothing drawn; the front
// end shows "Invalid IP Address" and keeps the dialog open.
// selectedEntry < 0 (an empty list) keeps localAddress as it is.
bool acceptAddressDialog(const char* typedText, int selectedEntry);

// Recovery entry dialog, Continue: file name, serial (at most 19
// characters, upper case), targetText, localAddress.
void acceptRecoveryDialog(const char* serialText, int selectedEntry);

// Password dialog, OK: user name and password, at most 126 characters each.
void acceptPasswordDialog(const char* userName, const char* password);
// Preset of the user entry, on every opening.
const char* defaultUserName();

// Texts and titles that depend on the run.
void warningDialogTitle(char* out, size_t size);
void addressDialogTitle(char* out, size_t size);
const char* addressHelpText();
const char* recoveryCheckText();
void imageVersionLine(char* out, size_t size);
void confirmDialogTitle(char* out, size_t size);
void confirmDialogText(char* out, size_t size);
void successDialogTitle(char* out, size_t size);
// The vendor web address shown by a success dialog.
const char* successWebAddress(Dialog dialog);
