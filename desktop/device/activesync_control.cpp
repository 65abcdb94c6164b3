#include "desktop/device/activesync_control.h"

#include "common/clock.h"

namespace corvash::device {

// The pauses give the sync processes time to let go of the port. Finding
// and ending the processes comes with the process control; until then the
// stop only spends its pauses.
void StopActiveSync() {
  platform::SleepMs(1000);
  platform::SleepMs(1000);
  platform::SleepMs(1000);
}

}  // namespace corvash::device
