// The run's questions: each asks the front end and takes its answer into
// the run's record (bounded, parsed, as the dialogs' fields read them).
#pragma once

#include <cstdint>

#include "core/run.h"

// The most characters the password dialog's fields take.
const unsigned kCredentialCharacters = 126;

// The most an IP address control yields: "255.255.255.255".
const unsigned kAddressControlLength = 15;

// An address as typed into the address dialog: at most 15 characters, a
// dotted quad that is not 0.0.0.0. Longer text is refused whole: cut short
// it could name another device.
bool parseTypedAddress(const char* typed, uint32_t* address);

// Welcome dialog: the mode. False: declined.
bool askMode(Run& run);
bool askWarning(Run& run);
// Address dialog (the phone's for a phone image): target text and address,
// local address, a new file name. False: declined or not an address.
bool askAddress(Run& run);
// Recovery entry dialog: serial (at most 19 characters, upper case), target
// text, local address, a new file name. False: declined.
bool askSerial(Run& run);
// Password dialog: user name and password, at most 126 characters each.
// Stops the run when none are given.
void askCredentials(Run& run);
void takeCredentials(Run& run, const CredentialsAnswer& answer);
// The credentials the request gives, else the front end's answer; false
// (with answer->refusal) when there are none.
bool answerCredentials(Run& run, CredentialsAnswer* answer);
bool askConfirmation(Run& run);
