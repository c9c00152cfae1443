#include "app/app_graph.h"

namespace ripwarden {

AppGraph::AppGraph(PlatformServices platform_services, AppSetup setup)
    : platform(platform_services),
      settings(platform.system.files, Charset::kUtf8, setup.settings_path,
               platform.system.paths.JoinPath(platform.system.user.ShippedDefaultsFolder(), "Settings.cfg")),
      presets(platform.system.files, setup.presets_path),
      asked_dialects(platform.system.processes, platform.system.files, platform.system.clock),
      dialects(setup.dialects != nullptr ? *setup.dialects : asked_dialects),
      drive_menu(platform.tray),
      view(platform.windows, platform.tray, drive_menu),
      engine({.settings = settings,
              .presets = presets,
              .drives = platform.system.drives,
              .processes = platform.system.processes,
              .files = platform.system.files,
              .clock = platform.system.clock,
              .calendar = platform.system.calendar,
              .dialects = dialects,
              .view = view,
              .paths = platform.system.paths},
             kAppName),
      ui({.windows = platform.windows,
          .folders = platform.folders,
          .settings = settings,
          .presets = presets,
          .files = platform.system.files,
          .drives = platform.system.drives,
          .autostart = platform.system.autostart,
          .engine = engine,
          .paths = platform.system.paths,
          .boxes = platform.boxes},
         kAppName, setup.presets_path),
      app({.lock = platform.system.lock,
           .working_directory = platform.system.working_directory,
           .windows = platform.windows,
           .tray = platform.tray,
           .drive_menu = drive_menu,
           .boxes = platform.boxes,
           .settings = settings,
           .engine = engine,
           .ui = ui,
           .files = platform.system.files,
           .paths = platform.system.paths,
           .user = platform.system.user}) {
  engine.KeepRecords(platform.system.user.StateFolder(), platform.system.helper_program);
}

}  // namespace ripwarden
