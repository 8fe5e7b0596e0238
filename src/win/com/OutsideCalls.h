// Told before control leaves an object for code that may drop the object's last
// reference: a call into the host, or a send to the data server while which the
// thread's other windows (the host's among them) take messages. The object keeps
// itself alive from then to the end of its own method.
#pragma once

namespace zelm {

class TOutsideCallWatch {
 public:
  virtual void BeforeOutsideCall() noexcept = 0;

 protected:
  ~TOutsideCallWatch() = default;
};

}  // namespace zelm
