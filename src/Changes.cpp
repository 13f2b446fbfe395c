// The two change actions, resolution and primary display, and their outcome messages.
#include <cstring>

#include "CmdLin.h"
#include "Output.h"
#include "Tavelon.h"

std::int32_t TargetDevice = 0;
std::int32_t TargetWidth = 0;
std::int32_t TargetHeight = 0;
DEVMODEA NewMode;
DisplayDeviceShortA* PrimaryTarget = nullptr;

namespace {

struct ChangeOutcome {
  LONG Result;
  std::string_view Text;
};

constexpr ChangeOutcome ChangeOutcomes[] = {
    {DISP_CHANGE_RESTART, "Error DISP_CHANGE_RESTART"},
    {DISP_CHANGE_FAILED, "Error DISP_CHANGE_FAILED"},
    {DISP_CHANGE_BADMODE, "Error DISP_CHANGE_BADMODE"},
    {DISP_CHANGE_NOTUPDATED, "Error DISP_CHANGE_NOTUPDATED"},
    {DISP_CHANGE_BADFLAGS, "Error DISP_CHANGE_BADFLAGS"},
    {DISP_CHANGE_BADPARAM, "Error DISP_CHANGE_BADPARAM"},
};

// The request after a failed current-mode query: only the two sizes, nothing carried over
// from whichever device the buffer last described.
void SetSizeOnlyMode(DEVMODEA& mode) {
  std::memset(&mode, 0, sizeof mode);
  mode.dmSize = DevModeSize;
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
}

// The value text as the refusal shows it: a control character (a line break, an escape
// sequence for the terminal) is shown as "?", so the line stays one line and harmless.
std::string ShownValueText(std::string text) {
  for (char& c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 32 || code == 127) c = '?';
  }
  return text;
}

// The number the user wrote after the switch letter (upper case). A value text that does not
// read as a number is refused: taken for 0, it would send the change to device 0.
std::int32_t ActionValue(char letter) {
  if (!SwitchValueExact(letter)) {
    WriteLine({"Cannot use switch ", std::string_view(&letter, 1), " - \"", ShownValueText(SwitchValueText(letter)),
               "\" is not a number."});
    StopRun(1);
  }
  return SwitchValue(letter);
}

}  // namespace

void ReportChangeOutcome(LONG result) {
  for (const ChangeOutcome& outcome : ChangeOutcomes) {
    if (outcome.Result == result) {
      WriteLine({outcome.Text});
      return;
    }
  }
  WriteLine({"Error (unknown)"});
}

void SetResolution() {
  TargetDevice = ActionValue('D');
  TargetWidth = ActionValue('X');
  TargetHeight = ActionValue('Y');
  // An entry the inventory did not fill has an empty name, which the service takes for the
  // primary display: such a number must never reach it.
  if (TargetDevice < 0 || TargetDevice > LastDeviceIndex) {
    WriteLine({"Cannot change resolution of device ", DecimalText(TargetDevice), " - no such device."});
    StopRun(1);
  }
  DisplayDeviceShortA& entry = DisplayTable[TargetDevice];

  QueryMode(entry, ENUM_CURRENT_SETTINGS);
  if (LastCallOk) {
    WriteLine({"Device ", DecimalText(TargetDevice), " Current resolution: ",
               DecimalText(CurrentMode.dmPelsWidth), "-", DecimalText(CurrentMode.dmPelsHeight),
               " Bits: ", DecimalText(CurrentMode.dmBitsPerPel)});
    NewMode = CurrentMode;
  } else {
    WriteLine({"EnumDisplaySettings returned 0"});
    SetSizeOnlyMode(NewMode);
  }
  NewMode.dmPelsWidth = static_cast<DWORD>(TargetWidth);
  NewMode.dmPelsHeight = static_cast<DWORD>(TargetHeight);

  WriteLine({"Changing resolution to ", DecimalText(TargetWidth), "x", DecimalText(TargetHeight),
             " on device ", DecimalText(TargetDevice)});
  const LONG result = ChangeDisplaySettingsExA(DeviceNameArgument(entry).Text, &NewMode, nullptr, 0, nullptr);
  if (result == DISP_CHANGE_SUCCESSFUL) {
    WriteLine({"Successful Change: ", DeviceNameText(entry), " ", DeviceStringText(entry)});
  } else {
    ReportChangeOutcome(result);
  }
  WriteLine();
}

void SetPrimary() {
  const std::int32_t number = ActionValue('P');
  if (number > LastAttachedIndex || number < 0) {
    WriteLine({"Cannot set primary to ", DecimalText(number), " - not a physical display."});
    StopRun(1);
  }
  // PrimaryIndex stays 0 when no device carries the flag: only the flag says it is set.
  if (number == PrimaryIndex && (DisplayTable[number].StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0) {
    WriteLine({"Primary is already set to ", DecimalText(number), " - nothing to do."});
    StopRun(1);
  }
  PrimaryTarget = &DisplayTable[number];
  const LONG result =
      ChangeDisplaySettingsExA(DeviceNameArgument(*PrimaryTarget).Text, nullptr, nullptr, CDS_SET_PRIMARY, nullptr);
  if (result == DISP_CHANGE_SUCCESSFUL) {
    WriteLine({"Successful: Primary set to ", DecimalText(number), "  ", DeviceNameText(*PrimaryTarget),
               " ", DeviceStringText(*PrimaryTarget)});
  } else {
    ReportChangeOutcome(result);
  }
  WriteLine();
  ListDisplays();
}
