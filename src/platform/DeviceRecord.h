// Filling a device record as user32 does, for the display services outside Windows.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

#include "DisplayService.h"

// Writes no more than record.cb bytes, as the caller sized the record. A name longer than 32
// bytes is cut to fill the array; a description keeps its terminating NUL.
inline void FillDeviceRecord(DisplayDeviceShortA& record, std::string_view name, std::string_view description,
                             DWORD stateFlags) {
  DisplayDeviceShortA filled{};
  filled.cb = record.cb;
  std::memcpy(filled.DeviceName, name.data(), std::min(name.size(), sizeof filled.DeviceName));
  std::memcpy(filled.DeviceString, description.data(), std::min(description.size(), sizeof filled.DeviceString - 1));
  filled.StateFlags = stateFlags;
  std::memcpy(&record, &filled, std::min<std::size_t>(record.cb, sizeof filled));
}
