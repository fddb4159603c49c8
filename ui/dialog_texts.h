// The wizard's own texts, exactly as the programs show them (spelling included).
#pragma once

extern const char kWelcomeText[];
extern const char kRecoveryIntroText[];
extern const char kRecoveryCheckAdapterText[];
extern const char kRecoveryCheckPhoneText[];
extern const char kWarningText[];
extern const char kAddressIntroText[];
extern const char kAddressHelpAdapterText[];
extern const char kAddressHelpPhoneText[];
extern const char kPasswordText[];
extern const char kConfirmText[];
// The confirm text of a staged run: the confirm text, then the transition
// image's version.
#define ORB_STAGED_NOTE_FORMAT                                                                                     \
    "%s\r\n\r\nNote: Since your current firmware version\r\nis older than %s, this upgrade procedure\r\nrequires " \
    "additional steps and will be\r\nslightly longer.\r\n"
extern const char kSuccessText[];
extern const char kWaitingText[];

// Titles the windows carry until the program sets its own, and the lines
// that the templates hold (the Windows resource scripts keep their own
// copies, laid out).
extern const char kWelcomeTitle[];
extern const char kRecoveryTitle[];
extern const char kPasswordTitle[];
extern const char kConnectingTitle[];
extern const char kUploadTitle[];
extern const char kWaitingTitle[];
extern const char kUploadNotice[];
extern const char kSerialEntryLabel[];
extern const char kLocalAddressLabel[];
extern const char kUserLabel[];
extern const char kPasswordLabel[];
extern const char kFactLabels[5][20];  // serial, MAC, software, hardware, product

// The vendor web addresses on the success dialogs (111 and 113).
extern const char kSuccessWebAddress111[];
extern const char kSuccessWebAddress113[];
