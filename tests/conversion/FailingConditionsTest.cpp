// Whole runs under hostile file-system conditions.
#include <gtest/gtest.h>
