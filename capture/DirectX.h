#pragma once
// The base of the sound-service wrappers. Qt-free; main thread only.
#include "capture/SoundService.h"

// Keeps the result code of the last sound-service call.
class TDirectX {
  public:
    virtual ~TDirectX() = default;
    HRESULT DXResult() const { return result_; }

  protected:
    HRESULT result_ = DS_OK;
};
