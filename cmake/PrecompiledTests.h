// The test framework and the standard headers, compiled once per test executable.
#pragma once

#include "cmake/Precompiled.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
