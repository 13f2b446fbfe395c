// sd-bus, loaded from libsystemd when a run first needs the session bus, never linked: the
// loader then maps only the C library for runs that never reach the bus (X11 listings, /H).
// Prototypes come from sd-bus's own header; only the functions the GNOME service uses.
#pragma once

#include <systemd/sd-bus.h>

namespace mutter {

struct SdBusLibrary {
  decltype(&::sd_bus_open_user) OpenUser;
  decltype(&::sd_bus_flush_close_unref) FlushCloseUnref;
  decltype(&::sd_bus_message_new_method_call) NewMethodCall;
  decltype(&::sd_bus_message_set_auto_start) SetAutoStart;
  decltype(&::sd_bus_call_async) CallAsync;
  decltype(&::sd_bus_process) Process;
  decltype(&::sd_bus_wait) Wait;
  decltype(&::sd_bus_slot_unref) SlotUnref;
  decltype(&::sd_bus_message_ref) MessageRef;
  decltype(&::sd_bus_message_unref) MessageUnref;
  decltype(&::sd_bus_message_is_method_error) IsMethodError;
  decltype(&::sd_bus_message_append) Append;
  decltype(&::sd_bus_message_open_container) OpenContainer;
  decltype(&::sd_bus_message_close_container) CloseContainer;
  decltype(&::sd_bus_message_enter_container) EnterContainer;
  decltype(&::sd_bus_message_exit_container) ExitContainer;
  decltype(&::sd_bus_message_read) Read;
  decltype(&::sd_bus_message_skip) Skip;
  decltype(&::sd_bus_message_peek_type) PeekType;
  decltype(&::sd_bus_message_has_signature) HasSignature;
};

// The library with every function resolved, loaded at the first call of the run; null when
// libsystemd.so.0 or one of its functions is missing.
const SdBusLibrary* LoadSdBus();

}  // namespace mutter
