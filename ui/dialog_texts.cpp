#include "ui/dialog_texts.h"

const char kWelcomeText[] =
    "Welcome to the Velmora ORB Device Firmware Upgrade Utility!\r\n\r\nTo begin, select the [Upgrade "
    "Firmware]\r\noption if you would like to upgrade the fimrware\r\non a normal ORB unit.\r\n\r\nIf your ORB has a "
    "corrupted image and the\r\nStatus LED is blinking irratically, select\r\nthe [Recover Firmware] option and follow "
    "the\r\non-screen instructions.";
const char kRecoveryIntroText[] =
    "You can use this utility to recover a ORB unit\r\nwith a corrupted firmware image to:";
const char kRecoveryCheckAdapterText[] =
    "Before proceeding, please confirm that the ORB's\r\nStatus LED is blinking repeatedly with the "
    "pattern:\r\nshort-short-short-long-long-short-short-short.\r\nOtherwise, restart this utility and select "
    "the\r\n[Upgrade Firmware] option. To continue, you must\r\nprovide the serial number of the ORB unit.\r\nThe "
    "serial number is printed on the bar code\r\nlabel located at the back cover of the unit.\r\nPlease also make sure "
    "that the ORB is in the\r\nsame subnet as this PC.\r\n";
const char kRecoveryCheckPhoneText[] =
    "Before proceeding, please confirm that the IP\r\nPhone screen is showing the message:\r\n\"S.O.S. Phone In "
    "Recovery Mode\"\r\nOtherwise, restart this utility and select the\r\n[Upgrade Firmware] option. To continue, you "
    "must\r\nprovide the serial number of the ORB unit.\r\nThe serial number is printed on the bar code\r\nlabel "
    "located at the back cover of the unit.\r\nPlease also make sure that the ORB is in the\r\nsame subnet as this "
    "PC.\r\n";
const char kWarningText[] =
    "WARNING: Forcing a firmware upgrade on your ORB\r\nwithout prior approval from your service provider "
    "or\r\nnetwork administrator may cause interruption to your\r\nservice.  If your ORB is managed by a "
    "service\r\nprovider who retains administrative control of the\r\ndevice, please contact the service provider "
    "for\r\nauthorization before proceeding.  In such cases, the\r\nmost current, approved for service firmware "
    "is\r\nautomatically provided by your service provider without\r\nany onus on the end user to upgrade manually.";
const char kAddressIntroText[] = "This program will upgrade your ORB\r\nfirmware to:";
const char kAddressHelpAdapterText[] =
    "To proceed, please provide the IP address\r\nof your ORB. To find out the IP address\r\nof your ORB, using a "
    "telephone handset,\r\nenter * * * *, option 110#, and write down\r\nthe value. For example, "
    "10.1.0.123\r\n\r\nPlease enter IP address of your ORB:";
const char kAddressHelpPhoneText[] =
    "To proceed, please provide the IP address\r\nof your ORB. To find out the IP address of\r\nyour ORB, press the I "
    "button on the phone,\r\nselect \"Network\" option, and check the\r\nvalue of \"Current IP\". For example, "
    "10.1.0.13\r\n\r\nPlease enter IP address of your ORB:";
const char kPasswordText[] =
    "This ORB requires a password in order to be\r\nupgraded. If you do not have administrator's\r\nprivileges for "
    "this unit, please contact your\r\nService Provider or network administrator,\r\nbefore proceeding.\r\n\r\nYou "
    "must provide the ORB administrator's\r\npassword to upgrade. If you are the administrator\r\nand forgot the "
    "password, you may perform a\r\nfactory reset by entering * * * *, option 46152#,\r\nand value 1 from a telephone "
    "connected to the\r\nunit to be upgraded.\r\n\r\n* * * * * * * * * * *  Warning  * * * * * * * * * * *\r\nAll "
    "settings will revert to default values\r\nafter factory reset!  You may not be able to\r\nreestablish service "
    "after completing this upgrade\r\nwithout first reentering service configuration\r\ninformation.";
const char kConfirmText[] =
    "The following information was extracted\r\nfrom your ORB. Please click \"Upgrade\"\r\nif you would like to "
    "proceed. If you would\r\nlike to quit click \"Cancel\".";
const char kSuccessText[] = "Your ORB has been successfully\r\nupgraded to the version shown\r\nbelow.";
const char kWaitingText[] =
    "Firmware upload will begin when the ORB is idle, where the ORB will request to download the firmware from this PC "
    "using TFTP at the first available UDP port starting at port number 69.\r\n\r\nIf firmware download does not "
    "start, please check that you have done the following: a) Hangup properly all the phones attached to the ORB, b) "
    "Disable any firewall software (such as Internet Connection Firewall) on this PC, and c) Make sure that this PC "
    "and the ORB are on the same LAN subnet; it will not work for example if this PC is behind a router while the ORB "
    "is in front of it.";

const char kWelcomeTitle[] = "Velmora ORB Device Firmware Upgrade Utility";
const char kRecoveryTitle[] = "ORB Firmware Recovery";
const char kPasswordTitle[] = "Enter Password Information";
const char kConnectingTitle[] = "Connecting with ORB";
const char kUploadTitle[] = "Uploading Firmware To ORB";
const char kWaitingTitle[] = "Waiting For Firmware Download Request From ORB";
const char kUploadNotice[] = "Please do not unplug the power of your ORB until the Status Light stops blinking";
const char kSerialEntryLabel[] = "Enter the serial number of your ORB";
const char kLocalAddressLabel[] = "Your IP Address";
const char kUserLabel[] = "User";
const char kPasswordLabel[] = "Password";
const char kFactLabels[5][20] = {"Serial Number", "MAC Address", "Software Version", "Hardware Version",
                                 "Product Name"};

const char kSuccessWebAddress111[] = "orb.example.com";
const char kSuccessWebAddress113[] = "example.com";
