// ole_com_ptr<T>: holds one reference on a COM interface of type T (T derives from IUnknown).
//
// Given a pointer, it adds a reference; copies add one more; destruction, reset and assignment release the held
// one (tracing the count left). put() hands out the address for an out-parameter that receives an interface whose
// reference the callee already added. Using an empty holder through -> or * is an internal error.
#pragma once

#include <cstdint>
#include <utility>

#include "TK/tk_log.h"
#include "TK/tk_singl.h"

template <class T>
class ole_com_ptr {
 public:
  ole_com_ptr() = default;
  explicit ole_com_ptr(T* object) : object_(object) {
    if (object_ != nullptr) object_->AddRef();
  }
  ole_com_ptr(const ole_com_ptr& that) : ole_com_ptr(that.object_) {}
  ole_com_ptr(ole_com_ptr&& that) noexcept : object_(std::exchange(that.object_, nullptr)) {}
  virtual ~ole_com_ptr() { release(); }

  ole_com_ptr& operator=(const ole_com_ptr& that) {
    if (this != &that) reset(that.object_);
    return *this;
  }
  ole_com_ptr& operator=(ole_com_ptr&& that) noexcept {
    if (this != &that) {
      release();
      object_ = std::exchange(that.object_, nullptr);
    }
    return *this;
  }

  T* operator->() const { return checked(); }
  T& operator*() const { return *checked(); }
  T* get() const { return object_; }
  bool is_null() const { return object_ == nullptr; }
  explicit operator bool() const { return object_ != nullptr; }

  // Holds `object` with a reference of its own (the old one is released).
  void reset(T* object = nullptr) {
    if (object != nullptr) object->AddRef();
    release();
    object_ = object;
  }
  // Takes over a reference the caller owns.
  void attach(T* object) {
    release();
    object_ = object;
  }
  // Gives up the held reference to the caller.
  T* detach() { return std::exchange(object_, nullptr); }
  // Releases the held interface and returns the slot for an out-parameter.
  T** put() {
    release();
    return &object_;
  }

 private:
  T* checked() const {
    if (object_ == nullptr) throw tk_mail_assertion("..\\OLE/ole_ptr", 94);
    return object_;
  }
  void release() {
    if (object_ == nullptr) return;
    uint32_t left = std::exchange(object_, nullptr)->Release();
    tk_trace(1, "ole_com_ptr<T>::~ole_com_ptr() - %d refs left", static_cast<int>(left));
  }

  T* object_ = nullptr;
};
