// Fuzz target: the language file reader gives its default or a value cut to
// the buffer, and never crashes, whatever the file holds.
#include <glib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/core/lang_file.h"

namespace {

// Damaged compound files make libgsf complain through GLib; that is expected here.
void Quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void Check(bool condition) {
  if (!condition) abort();
}

void Lookup(const std::string& file, const char* section, const char* key) {
  for (size_t chars : {size_t{0}, size_t{2}, size_t{260}}) {
    std::string value = "stale";
    bool found = app::ReadLangValueFromBytes(section, key, "default", &value, chars,
                                             file.data(), file.size());
    const size_t units = chars == 0 ? 0 : chars - 1;
    if (!found) Check(value == std::string("default").substr(0, units));
    // A UTF-16 unit takes at most 3 bytes of UTF-8.
    Check(value.size() <= 3 * units);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    g_log_set_default_handler(Quiet, nullptr);
    return true;
  }();
  (void)quiet;
  static const unsigned char kCompoundMagic[8] = {0xD0, 0xCF, 0x11, 0xE0,
                                                  0xA1, 0xB1, 0x1A, 0xE1};
  std::string file;
  if (size >= 8 && memcmp(data, kCompoundMagic, 8) == 0) {
    file.assign(reinterpret_cast<const char*>(data), size);
  } else {
    // Anything else is a "Text" stream as stored, so the entry walk gets the attention.
    std::string error;
    if (!app::BuildCompoundFile({{"Text", std::string(reinterpret_cast<const char*>(data), size)}},
                                &file, &error))
      return 0;
  }
  for (const char* key : {"A", "B", ""}) Lookup(file, "Text", key);
  Lookup(file, "Message", "Title");
  return 0;
}
