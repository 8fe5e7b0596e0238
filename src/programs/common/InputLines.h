// A program's standard input, a line at a time, read by a thread of its own: the
// program's thread keeps pumping window messages (the data server's values, the
// extension's messages) and takes the lines when woken.
//
// The reader blocks in a read that nothing cancels and may take one more line (a
// second "quit") after the loop and the host are gone, so the lines are owned by both:
// the reader's share ends with its thread, the loop's with the loop, whichever is last.
// Portable: the lock and the way to start a thread are the caller's (a critical
// section and a Win32 thread in the program, the standard ones in the tests).
#pragma once

#include <deque>
#include <functional>
#include <istream>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "programs/common/Utf.h"

namespace zelm::tools {

template <class TLockType>
class TInputLines {
 public:
  // Wake tells the loop that a line came or the input ended; the reader calls it.
  explicit TInputLines(std::function<void()> Wake) : FWake(std::move(Wake)) {}

  void Push(std::u16string Line) {
    {
      std::lock_guard<TLockType> Hold(FLock);
      FLines.push_back(std::move(Line));
    }
    FWake();
  }
  void Close() {
    {
      std::lock_guard<TLockType> Hold(FLock);
      FClosed = true;
    }
    FWake();
  }
  // Moves the lines that have come to the end of Lines; true once the input ended.
  bool Take(std::deque<std::u16string>& Lines) {
    std::lock_guard<TLockType> Hold(FLock);
    for (std::u16string& Line : FLines) Lines.push_back(std::move(Line));
    FLines.clear();
    return FClosed;
  }

 private:
  TLockType FLock;
  std::deque<std::u16string> FLines;
  bool FClosed = false;
  std::function<void()> FWake;
};

// Starts reading In (UTF-8) on a thread of its own, through Start(body), which answers
// whether the thread runs; returns the loop's share of the lines. Without a reader the
// input counts as ended.
template <class TLockType, class TStart>
std::shared_ptr<TInputLines<TLockType>> StartReadingLines(std::istream& In, std::function<void()> Wake,
                                                          TStart&& Start) {
  auto Lines = std::make_shared<TInputLines<TLockType>>(std::move(Wake));
  const bool Started = Start(std::function<void()>([&In, Reader = Lines] {
    for (std::string Line; std::getline(In, Line);) Reader->Push(FromUtf8(Line));
    Reader->Close();
  }));
  if (!Started) Lines->Close();
  return Lines;
}

}  // namespace zelm::tools
