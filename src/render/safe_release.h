// SafeRelease: drop an owner's reference to a device object and forget the pointer, so that a second
// teardown or a re-creation never releases the same object twice. Any type with Release() fits.
#pragma once

template <class T>
void SafeRelease(T*& object) {
  if (object) object->Release();
  object = nullptr;
}
