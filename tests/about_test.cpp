// About box, driven in-process.
#include <gtest/gtest.h>
