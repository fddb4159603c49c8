// Whether an image's model is the device's: the model name the image's
// product code gives against the product name the device reports.
#pragma once

// A model name may list several products ("ORB-P81/ORB-P82",
// "ORB-A010/A020": a short one takes the first one's prefix); the device's
// product name fits when it names one of them in any letter case, or when
// one holds the other as whole words ("Quillon QL-7" and "QL-7", never
// "QL-7" and "QL-7T"). The generic model of an unknown product code, and an
// empty product name, fit nothing.
bool modelFitsProduct(const char* modelName, const char* productName);
