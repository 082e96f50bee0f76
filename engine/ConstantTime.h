// Comparison of secrets (authentication tags) whose running time does not
// depend on where the inputs differ.
#pragma once

#include <cstddef>

// True when the n bytes at a and b are equal. Always reads all n bytes.
bool ConstantTimeEqual(const void* a, const void* b, std::size_t n);
