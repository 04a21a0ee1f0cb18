// Settings the operating system keeps for the product, where it has such a
// store: on Windows the string values of a key under HKEY_CLASSES_ROOT.
// Elsewhere there is none, and settings come from files (core/Settings).
#pragma once

#include <optional>
#include <string>

namespace tessaly {

// The value, or nothing when the store, the key or the value is missing or
// does not fit 260 characters. A value stored for expansion (REG_EXPAND_SZ
// on Windows) comes with its environment variables expanded.
std::optional<std::string> ReadSystemSetting(const std::string& key, const std::string& valueName);

}  // namespace tessaly
