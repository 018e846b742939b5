#pragma once
// Cases that need cabinet.dll missing from the system. A parent case starts a copy of the
// test executable with the library disabled (Wine's per-program DLL overrides) and a filter
// that selects the child case; the child dismisses its own message boxes from a watcher
// thread, so nothing waits for a user. Needs a display (the boxes are real windows).

#include <windows.h>

#include <atomic>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

struct TBox {
  std::string Caption, Text;
  bool IconIsError, IconIsInformation;
  bool operator==(const TBox& o) const {
    return Caption == o.Caption && Text == o.Text && IconIsError == o.IconIsError &&
           IconIsInformation == o.IconIsInformation;
  }
};
std::ostream& operator<<(std::ostream& out, const TBox& box);

// The box the binding shows when the library will not load.
extern const TBox LoadFailureBox;

// Presses OK on every message box of this process as it appears and keeps what it showed.
class TBoxWatcher {
 public:
  TBoxWatcher() : thread([this] { Watch(); }) {}
  ~TBoxWatcher() {
    done = true;
    thread.join();
  }
  std::vector<TBox> Boxes() {
    std::lock_guard<std::mutex> lock(mutex);
    return boxes;
  }

 private:
  void Watch();

  std::atomic<bool> done{false};
  std::mutex mutex;
  std::vector<TBox> boxes;
  std::thread thread;
};

// True in the copy started by RunWithoutCabinet or RunWithPlantedCabinet.
bool IsCabinetMissingChild();
// False when no window can be made (no display).
bool DisplayAvailable();
// Starts a copy of this executable without cabinet.dll, running the cases of filter, and
// expects it to end with exit code 0 within 60 s.
void RunWithoutCabinet(const std::string& filter);
// The same with library copied beside the copy as cabinet.dll, and Wine told to prefer such
// a native cabinet.dll to its own (cabinet=n,b): what a planted library would get.
void RunWithPlantedCabinet(const std::string& filter, const std::string& library);
