// Each program defines orbMain; the platform's own entry point calls it
// with the module instance (null where the platform has none).
#pragma once

int orbMain(void* instance);
