// Flips one setting back and forth for ever; the crash test kills it at random.
#include <cstdio>
#include <string>

#include "config/settings_store.h"
#include "helpers/native_platform.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  ripwarden::testing::NativeFiles files;
  ripwarden::SettingsStore store(files, ripwarden::Charset::kUtf8, argv[1]);
  store.WriteSetting("Ripping", "Destination", "/new/");
  // Tell the test that writing is under way, so that its kill lands in the
  // loop however slowly this program started.
  std::fputs("writing\n", stdout);
  std::fflush(stdout);
  for (unsigned long i = 1;; ++i)
    store.WriteSetting("Ripping", "Destination", i % 2 == 0 ? "/new/" : "/old/");
}
