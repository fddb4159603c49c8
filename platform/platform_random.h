// Numbers from the operating system's randomness source, 0 to 32767.
#pragma once

unsigned osRandom15();
