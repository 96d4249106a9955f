// Status dialog and skill refresher, driven in-process.
#include <gtest/gtest.h>
