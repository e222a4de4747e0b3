#pragma once

#include <vector>

#include "TestPackages.h"

// The sample family installed out of version order, with the 64-bit member first, and an unrelated
// product after it.
inline std::vector<TestPackage> SampleFamilyAndOther() { return {kSample2, kSample1, kSample3, kOther}; }
