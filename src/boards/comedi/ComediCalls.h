#pragma once
// The comedilib calls of the comedi boards, and the read and poll of an open
// device file, behind one small seam so that tests can script a device: the
// boards in a folder, ranges, the command test's answers, a stream of known
// samples, an overflow, a device that vanishes. The real calls go straight to
// comedilib.
//
// Failures are negative errno values.

#include <comedilib.h>
#include <sys/types.h>

#include <memory>
#include <string>

namespace varnel::comedi {

// One open comedi device. Set-up calls from the main thread; once a command
// runs, only its board's capture thread calls Wait, Read, Cancel, Command and
// SubdeviceFlags.
class ComediDevice {
 public:
  virtual ~ComediDevice() = default;
  virtual std::string DriverName() = 0;
  virtual std::string BoardName() = 0;
  // The subdevice whose samples a read of the device file gives; < 0: none.
  virtual int ReadSubdevice() = 0;
  virtual int SubdeviceType(unsigned sub) = 0;
  virtual int SubdeviceFlags(unsigned sub) = 0;
  virtual int Channels(unsigned sub) = 0;
  virtual lsampl_t MaxData(unsigned sub, unsigned channel) = 0;
  virtual int RangeCount(unsigned sub, unsigned channel) = 0;
  // False when there is no such range.
  virtual bool Range(unsigned sub, unsigned channel, unsigned range, comedi_range* out) = 0;
  // comedi_get_cmd_generic_timed: the command for `channels` channels a scan
  // every `periodNs`, as the board's command test left it.
  virtual int GenericTimed(unsigned sub, comedi_cmd* cmd, unsigned channels, unsigned periodNs) = 0;
  // 0: the command runs as it is; 1 to 5: the step of the test that changed
  // or refused it (comedi_command_test).
  virtual int CommandTest(comedi_cmd* cmd) = 0;
  virtual int Command(comedi_cmd* cmd) = 0;
  virtual int Cancel(unsigned sub) = 0;
  // The size of the driver's buffer, as near `bytes` as it lets this user.
  virtual int SetBufferSize(unsigned sub, unsigned bytes) = 0;
  // Waits until samples can be read, `wakeFd` can be read, or `timeoutMs`
  // passed.
  virtual void Wait(int wakeFd, int timeoutMs) = 0;
  // What the driver's buffer holds, up to `bytes`: 0 once a command has
  // ended, -EAGAIN when nothing is there yet, -EPIPE after an overflow.
  virtual ssize_t Read(void* to, size_t bytes) = 0;
};

class ComediCalls {
 public:
  virtual ~ComediCalls() = default;
  // The folder whose comediN files are the devices.
  virtual std::string Folder() const = 0;
  // Opens a device file of the folder; null, with the reason in `error`, when
  // it cannot: -ENOTTY for a file that is no comedi device (never opened),
  // -ENODEV for a comedi device without a board, or the system's reason.
  virtual std::unique_ptr<ComediDevice> Open(const std::string& path, int* error) = 0;
};

// comedilib on the devices of `folder`.
std::shared_ptr<ComediCalls> RealComediCalls(std::string folder = "/dev");

}  // namespace varnel::comedi
