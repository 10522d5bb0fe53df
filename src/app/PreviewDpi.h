#pragma once
// The preview's child window lives in another process's window tree, which
// keeps one DPI awareness: a child made with another awareness than its
// parent fails, or resets the awareness of the whole process. The thread
// therefore takes the parent's awareness while it makes the child, and the
// process keeps its own for everything else.
#include "hub/Application.h"

using DpiContext = void*;  // DPI_AWARENESS_CONTEXT, opaque here

class IDpiAwarenessPort {
 public:
  virtual ~IDpiAwarenessPort() = default;
  // Both calls below exist (Windows 10 1607 and later).
  virtual bool Available() = 0;
  virtual DpiContext OfWindow(NativeHandle window) = 0;           // null on failure
  virtual DpiContext SetThread(DpiContext awareness) = 0;        // the previous one; null on failure
};

// For its lifetime the calling thread has parent's awareness when a child of
// parent is made; an owned overlay (child false) changes nothing.
class ParentDpiScope {
 public:
  ParentDpiScope(IDpiAwarenessPort& port, NativeHandle parent, bool child);
  ~ParentDpiScope();
  ParentDpiScope(const ParentDpiScope&) = delete;
  ParentDpiScope& operator=(const ParentDpiScope&) = delete;

 private:
  IDpiAwarenessPort& port_;
  DpiContext previous_ = nullptr;
};
