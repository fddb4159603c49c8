// What the device reported about itself last, as written on its page.
#pragma once

struct DeviceFacts {
    char productName[128];
    char macAddress[128];
    char softwareVersion[128];
    char hardwareVersion[128];
    char serialNumber[128];
};

// Which facts one page held, as bits: a fact a page lacks keeps the value
// an earlier page gave, which must not pass for what this page said.
enum FactBits : unsigned {
    kFactProduct = 1,
    kFactMac = 2,
    kFactSoftware = 4,
    kFactHardware = 8,
    kFactSerial = 16,
};
