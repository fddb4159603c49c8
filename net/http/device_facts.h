// What the device reported about itself last, as written on its page.
#pragma once

struct DeviceFacts {
    char productName[128];
    char macAddress[128];
    char softwareVersion[128];
    char hardwareVersion[128];
    char serialNumber[128];
};
