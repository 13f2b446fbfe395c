// Loading sd-bus at run time (GNOME display service, Linux product). Only the dynamic
// loading belongs here; what is said on the bus is MutterBus.cpp's.
#include "SdBusLibrary.h"

#include <dlfcn.h>
#include <gnu/libc-version.h>

#include <cstring>

namespace mutter {

namespace {

template <typename Function>
bool Resolve(void* handle, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  return function != nullptr;
}

// A static program loads libsystemd with a shared C library of its own beside the one it
// was built with; the two work together only when they are one version. A program that
// uses the shared C library itself finds the same one both ways.
bool SameCLibrary(void* handle) {
  using VersionFunction = const char* (*)();
  VersionFunction loadedVersion = nullptr;
  return Resolve(handle, "gnu_get_libc_version", loadedVersion) &&
         std::strcmp(loadedVersion(), gnu_get_libc_version()) == 0;
}

bool LoadInto(SdBusLibrary& library) {
  // The soname of libsystemd's stable ABI; the handle stays open for the rest of the run.
  void* handle = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr || !SameCLibrary(handle)) return false;
  return Resolve(handle, "sd_bus_open_user", library.OpenUser) &&
         Resolve(handle, "sd_bus_flush_close_unref", library.FlushCloseUnref) &&
         Resolve(handle, "sd_bus_message_new_method_call", library.NewMethodCall) &&
         Resolve(handle, "sd_bus_message_set_auto_start", library.SetAutoStart) &&
         Resolve(handle, "sd_bus_call_async", library.CallAsync) &&
         Resolve(handle, "sd_bus_process", library.Process) &&
         Resolve(handle, "sd_bus_wait", library.Wait) &&
         Resolve(handle, "sd_bus_slot_unref", library.SlotUnref) &&
         Resolve(handle, "sd_bus_message_ref", library.MessageRef) &&
         Resolve(handle, "sd_bus_message_unref", library.MessageUnref) &&
         Resolve(handle, "sd_bus_message_is_method_error", library.IsMethodError) &&
         Resolve(handle, "sd_bus_message_append", library.Append) &&
         Resolve(handle, "sd_bus_message_open_container", library.OpenContainer) &&
         Resolve(handle, "sd_bus_message_close_container", library.CloseContainer) &&
         Resolve(handle, "sd_bus_message_enter_container", library.EnterContainer) &&
         Resolve(handle, "sd_bus_message_exit_container", library.ExitContainer) &&
         Resolve(handle, "sd_bus_message_read", library.Read) &&
         Resolve(handle, "sd_bus_message_skip", library.Skip) &&
         Resolve(handle, "sd_bus_message_peek_type", library.PeekType) &&
         Resolve(handle, "sd_bus_message_has_signature", library.HasSignature);
}

}  // namespace

const SdBusLibrary* LoadSdBus() {
  static SdBusLibrary library{};
  static const bool loaded = LoadInto(library);
  return loaded ? &library : nullptr;
}

}  // namespace mutter
