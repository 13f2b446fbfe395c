// Records and constants shared by the inventory pass and the change actions.
#pragma once

#include <cstdint>

#include "platform/DisplayService.h"

// Entries of the device table: device numbers 0 to 10.
constexpr std::int32_t MaxDevices = 11;

// Size of DisplayDeviceShortA, set in cb before every device query.
constexpr DWORD DisplayDeviceSize = sizeof(DisplayDeviceShortA);

// Size of DEVMODEA, set in dmSize before every mode query.
constexpr WORD DevModeSize = sizeof(DEVMODEA);
