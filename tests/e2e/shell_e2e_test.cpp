// The tray shell end to end.
#include <gtest/gtest.h>
