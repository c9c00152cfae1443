#include "platform/qt/program.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <map>
#include <memory>
#include <optional>

#include "app/app_graph.h"
#include "app/turn_policy.h"
#include "platform/qt/program_icon.h"
#include "platform/qt/qt_folder_dialog.h"
#include "platform/qt/qt_tray.h"
#include "platform/qt/qt_window_system.h"
#include "platform/system.h"
#include "ui/window_ids.h"

namespace ripwarden::qt_platform {

namespace {

// Sets the application-wide Qt state before any window is made.
bool PrepareQt() {
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setApplicationName(kAppName);
  return true;
}

}  // namespace

struct Program::Parts {
  bool qt_prepared = PrepareQt();
  std::unique_ptr<System> system = MakeSystem({RIPWARDEN_INSTALLED_DATA, RIPWARDEN_SOURCE_DATA});
  QtWindowSystem windows;
  QIcon icon = ProgramIcon();
  QtFolderDialog folders{&windows};
  QtTray tray{icon};
  QtMessageBoxes boxes{[this] { return windows.ActiveAppWindow(); }};
  AppGraph graph{
      {.system = system->services(), .windows = windows, .folders = folders, .tray = tray, .boxes = boxes}};
  Application& app = graph.app;
  RipEngine& engine = graph.engine;

  QTimer turn;
  // A turn waiting on a question box runs the box's own event loop: no other
  // turn may run inside it, or the engine would go on behind the question.
  bool in_turn = false;
  bool woken_in_turn = false;
  std::function<void(int)> turn_observer;
  // During a rip the loop sleeps until the encoder writes, rather than
  // looking at its output every few milliseconds.
  // One notifier a child whose output is watched: an encoder and a copier
  // may run side by side.
  std::map<ChildProcess, std::unique_ptr<QSocketNotifier>> output_notifiers;

  void RunTurns();
  void Wake();
  void RequestStop();
  void WatchEncoderOutput();
  void Schedule(int sleep_ms) {
    turn.start(sleep_ms);
    if (turn_observer) turn_observer(sleep_ms);
  }
};

void Program::Parts::RunTurns() {
  if (in_turn) {
    woken_in_turn = true;
    return;
  }
  const auto began = std::chrono::steady_clock::now();
  in_turn = true;
  woken_in_turn = false;
  do {
    app.RunOnce();
    if (app.quit_confirmed()) {
      in_turn = false;
      WatchEncoderOutput();
      // Not quit(): that first asks every window to close, and ours only hide.
      QApplication::exit(0);
      return;
    }
  } while (TakeAnotherTurn(engine.IsOutputWaiting(), std::chrono::steady_clock::now() - began));
  in_turn = false;
  WatchEncoderOutput();
  const bool now = RunAgainNow({.output_waiting = engine.IsOutputWaiting(),
                                .events_queued = windows.HasEvents() || tray.HasEvents(),
                                .woken_during_turn = woken_in_turn});
  // An ended output's descriptor is no longer watched, so it never wakes the loop in vain.
  Schedule(now ? 0 : static_cast<int>(SleepMilliseconds(engine.MillisecondsToNextPoll(), false)));
}

void Program::Parts::Wake() {
  if (in_turn) {
    woken_in_turn = true;
  } else {
    turn.start(0);
  }
}

void Program::Parts::RequestStop() {
  app.RequestStop();
  // A question left open would hold the way out: it is answered No, and the
  // turn that asked ends before the program stops.
  if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->reject();
  Wake();
}

void Program::Parts::WatchEncoderOutput() {
  std::map<ChildProcess, std::unique_ptr<QSocketNotifier>> watched;
  for (const ChildProcess child : engine.ChildrenToWatch()) {
    const WaitHandle output = system->OutputHandle(child);
    if (output == kNoWaitHandle) continue;
    auto kept = output_notifiers.find(child);
    if (kept != output_notifiers.end() && kept->second->socket() == output) {
      kept->second->setEnabled(true);
      watched[child] = std::move(kept->second);
      continue;
    }
    auto notifier = std::make_unique<QSocketNotifier>(output, QSocketNotifier::Read);
    QSocketNotifier* raw = notifier.get();
    QObject::connect(raw, &QSocketNotifier::activated, [this, raw] {
      // Quiet until the turn has taken what came: the descriptor stays
      // readable until then. A turn waiting on a question box (a nested loop)
      // takes it when the question is answered.
      raw->setEnabled(false);
      Wake();
    });
    watched[child] = std::move(notifier);
  }
  // Children gone from the list take their notifiers with them.
  output_notifiers = std::move(watched);
}

Program::Program() : parts_(std::make_unique<Parts>()) {
  parts_->windows.SetWindowIcon(parts_->icon);
  QApplication::setWindowIcon(parts_->icon);
  // The coarse timer may fire a few milliseconds early and be armed again
  // for the rest: one idle wakeup in two would be wasted.
  parts_->turn.setTimerType(Qt::PreciseTimer);
  parts_->turn.setSingleShot(true);
}

Program::~Program() = default;

QtWindowSystem& Program::windows() { return parts_->windows; }
QtTray& Program::tray() { return parts_->tray; }
QtMessageBoxes& Program::boxes() { return parts_->boxes; }

void Program::SetTurnObserver(std::function<void(int)> observer) {
  parts_->turn_observer = std::move(observer);
}

bool Program::Start() {
  Parts& p = *parts_;
  if (!p.app.Start()) return false;
  if (!p.app.has_tray()) {
    // The progress window is the way in: its context menu is the tray menu.
    QWidget* progress = p.windows.WindowWidget(kProgressWindow);
    if (progress != nullptr) {
      progress->setContextMenuPolicy(Qt::CustomContextMenu);
      QObject::connect(progress, &QWidget::customContextMenuRequested,
                       [&p, progress](const QPoint& at) { p.tray.Menu()->popup(progress->mapToGlobal(at)); });
    }
  }
  return true;
}

int Program::Run() {
  Parts& p = *parts_;
  QObject::connect(&p.turn, &QTimer::timeout, [&p] { p.RunTurns(); });
  p.windows.SetEventQueuedHandler([&p] { p.Wake(); });
  p.tray.SetEventQueuedHandler([&p] { p.Wake(); });

  // A stop requested during start-up waits until now.
  std::optional<QSocketNotifier> stop_notifier;
  if (const WaitHandle stops = p.system->StopRequestHandle(); stops != kNoWaitHandle) {
    stop_notifier.emplace(stops, QSocketNotifier::Read);
    QObject::connect(&*stop_notifier, &QSocketNotifier::activated, [&p] {
      if (p.system->TakeStopRequest()) p.RequestStop();
    });
  }

  p.turn.start(0);
  QApplication::exec();
  p.app.ReleaseResources();
  return 0;
}

}  // namespace ripwarden::qt_platform
