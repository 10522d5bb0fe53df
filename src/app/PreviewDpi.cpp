#include "app/PreviewDpi.h"

ParentDpiScope::ParentDpiScope(IDpiAwarenessPort& port, NativeHandle parent, bool child) : port_(port) {
  if (!child || !port.Available()) return;
  const DpiContext parents = port.OfWindow(parent);
  if (parents != nullptr) previous_ = port.SetThread(parents);
}

ParentDpiScope::~ParentDpiScope() {
  if (previous_ != nullptr) port_.SetThread(previous_);
}
