// What the wizard dialogs show, shared by both native front ends: the
// local address list, and the texts and titles that depend on the run.
#pragma once

#include <cstddef>

#include "ui/wizard.h"

const int kLocalAddressTextSize = 16;

// The local address list: "%u.%u.%u.%u" per entry of localAddresses, in
// stored order, up to the first 0 and at most 8. Returns the count.
int localAddressEntries(const Run& run, char entries[8][kLocalAddressTextSize]);

// Whether the address dialog may close with this text: otherwise it shows
// "Invalid IP Address" and stays open.
bool addressAcceptable(const char* typed);

// Preset of the user entry, on every opening.
const char* defaultUserName();

void warningDialogTitle(const Run& run, char* out, size_t size);
void addressDialogTitle(const Run& run, char* out, size_t size);
const char* addressHelpText(const Run& run);
const char* recoveryCheckText(const Run& run);
void imageVersionLine(const Run& run, char* out, size_t size);
void confirmDialogTitle(const Run& run, char* out, size_t size);
void confirmDialogText(const Run& run, char* out, size_t size);
void successDialogTitle(const Run& run, char* out, size_t size);
// The vendor web address shown by a success dialog.
const char* successWebAddress(const Run& run, Dialog dialog);
