// Tray icon, due check and tray menu, driven in-process.
#include <gtest/gtest.h>
